// Every plug-in library exports its entry points alone: a function of a static library linked
// into it (the XML document class, the platform layer) must never be bound by the dynamic
// linker to another library's copy.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

// The defined global symbols of a shared library's dynamic symbol table, by name.
std::set<std::string> DynamicExports(const std::string& library, std::string& error) {
    std::set<std::string> names;
    std::string command = "nm -D --defined-only --format=posix '" + library + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        error = "cannot run nm";
        return names;
    }
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) {
        std::istringstream fields(line);
        std::string name, type;
        fields >> name >> type;
        // Upper-case types are global; absolute symbols (A) are the linker's own markers.
        if (type.size() == 1 && std::isupper(static_cast<unsigned char>(type[0])) && type != "A" &&
            type != "U") {
            names.insert(name);
        }
    }
    if (::pclose(pipe) != 0) error = "nm failed on " + library;
    return names;
}

}  // namespace

TEST(PluginExports, EachPluginExportsItsEntryPointsAlone) {
    std::ifstream list(SATVIEW_PLUGIN_EXPORTS);
    ASSERT_TRUE(list) << SATVIEW_PLUGIN_EXPORTS;
    std::set<std::string> checked;
    std::string line;
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        std::string library, symbol;
        if (!(fields >> library)) continue;
        std::set<std::string> expected;
        while (fields >> symbol) expected.insert(symbol);
        SCOPED_TRACE(library);
        std::string error;
        std::set<std::string> exported = DynamicExports(library, error);
        ASSERT_TRUE(error.empty()) << error;
        EXPECT_EQ(exported, expected);
        checked.insert(library.substr(library.find_last_of('/') + 1));
    }
    for (const char* plugin : {"Orbitpane.so", "ConfigPlugin.so"}) {
        EXPECT_EQ(checked.count(plugin), 1u) << plugin << " is not in the list";
    }
}
