// The plug-in list plugins.xml: the main-frame plug-in's identifier and one entry per plug-in
// to load.
//
//   <main>
//     <mainplugin>D754AE84-535F-4c18-85F8-F154CFE34DDF</mainplugin>
//     <plugin><name>..</name><clsid>..</clsid><url>..</url> ...</plugin>
//   </main>
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace framework {

struct PluginEntry {
    std::string id;    // "clsid"
    std::string url;   // "url": the library, relative to the program directory or absolute
    std::string name;  // "name"
};

struct PluginList {
    std::string mainFrameId;  // empty when the list names none
    std::vector<PluginEntry> entries;
};

// Reads the list; nothing, with the reason in `error`, when the file cannot be read, does not
// parse, or has no "main" root. Values are trimmed of surrounding white space; the children
// of an entry may come in any order.
std::optional<PluginList> ReadPluginList(const std::string& path, std::string& error);

}  // namespace framework
