#include "framework/container/plugin_list.h"

#include "markup/markup_stl.h"
#include "platform/files.h"
#include "platform/text.h"

namespace framework {
namespace {

// With the cursor inside an element (its children's level): the text of the first child
// called `name`, searched from the first child whatever was found before.
std::string ChildValue(CMarkupSTL& doc, const char* name) {
    doc.RestartLevel();
    return doc.FindSibling(name) ? std::string(platform::TrimBlanks(doc.ElementText()))
                                 : std::string();
}

}  // namespace

std::optional<PluginList> ReadPluginList(const std::string& path, std::string& error) {
    CMarkupSTL doc;
    if (!doc.LoadFromFile(path)) {
        error = platform::FileExists(path) ? "cannot parse " + path + ": " + doc.LastError()
                                           : "cannot read " + path;
        return std::nullopt;
    }
    if (!doc.FindSibling("main")) {
        error = path + " has no <main> root";
        return std::nullopt;
    }
    PluginList list;
    doc.Descend();
    list.mainFrameId = ChildValue(doc, "mainplugin");
    doc.RestartLevel();
    while (doc.FindSibling("plugin")) {
        doc.Descend();
        PluginEntry entry;
        entry.id = ChildValue(doc, "clsid");
        entry.url = ChildValue(doc, "url");
        entry.name = ChildValue(doc, "name");
        doc.Ascend();
        list.entries.push_back(std::move(entry));
    }
    return list;
}

}  // namespace framework
