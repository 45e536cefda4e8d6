// The plug-in configuration files: the device rules, the plug-in library and the plug-in list.
#include <cstdio>

#include "Startup/Win32/launcher_trace.h"
#include "Startup/Win32/pluginsconfigmgr.h"
#include "Startup/Win32/text_case.h"
#include "framework/contracts/ids.h"
#include "markup/markup_stl.h"
#include "platform/files.h"

namespace {

using launcher::kConfigMgrSource;

constexpr const char* kRulesFile = "config/PluginsConfig.xml";
constexpr const char* kLibraryFile = "config/pluginslib.xml";

void Trace(int level, int line, const std::string& message) {
    launcher::Trace(level, kConfigMgrSource, line, message);
}

// Inside a "plugin" element of the rules: adds the clsid of every "add", then takes away the
// clsid of every "remove" (removals after additions, whatever their order in the file).
void ApplyChanges(CMarkupSTL& doc, std::set<std::string>& ids) {
    while (doc.FindSibling("add")) {
        std::string id = doc.AttributeValue("clsid");
        if (!id.empty()) ids.insert(id);
    }
    doc.RestartLevel();
    while (doc.FindSibling("remove")) {
        std::string id = doc.AttributeValue("clsid");
        if (!id.empty()) ids.erase(id);
    }
}

// Goes through the later siblings called `element` (the cursor on the group's level) and
// applies the changes of those whose "name" matches `name` without regard to case. False when
// a matching one has no "plugin": the caller applies nothing after it.
bool ApplyMatching(CMarkupSTL& doc, const char* element, const std::string& name,
                   std::set<std::string>& ids) {
    while (doc.FindSibling(element)) {
        if (launcher::Lower(doc.AttributeValue("name")) != name) continue;
        doc.Descend();
        if (!doc.FindSibling("plugin")) {
            doc.Ascend();
            return false;
        }
        doc.Descend();
        ApplyChanges(doc, ids);
        doc.Ascend();
        doc.Ascend();
    }
    return true;
}

// Inside a "devicegroup": true when its "devices" list has an item accepted by `match`. The
// cursor is left on "devices" (or where it was when there is none).
template <typename Match>
bool GroupHasDevice(CMarkupSTL& doc, Match match) {
    if (!doc.FindSibling("devices")) return false;
    doc.Descend();
    bool found = false;
    while (!found && doc.FindSibling("item")) found = match(doc.AttributeValue("name"));
    doc.Ascend();
    return found;
}

// With the cursor on the root's level: enters the first group accepted by `match` and answers
// true (the cursor inside it, on "devices").
template <typename Match>
bool EnterGroup(CMarkupSTL& doc, Match match) {
    doc.RestartLevel();
    while (doc.FindSibling("devicegroup")) {
        doc.Descend();
        if (GroupHasDevice(doc, match)) return true;
        doc.Ascend();
    }
    return false;
}

// Reads the ten children of a library entry in their order, each search going on after the
// child found before; a missing child leaves its field empty.
PluginRecord ReadRecord(CMarkupSTL& doc) {
    PluginRecord record;
    std::string* fields[] = {&record.channel, &record.name,          &record.alias,   &record.clsid,
                             &record.url,     &record.setting_title, &record.version, &record.type,
                             &record.active,  &record.static_};
    const char* names[] = {"channel",       "name",    "alias", "clsid",  "url",
                           "setting_title", "version", "type",  "active", "static"};
    doc.RestartLevel();
    for (size_t i = 0; i < 10; ++i) {
        if (doc.FindSibling(names[i])) *fields[i] = doc.ElementText();
    }
    return record;
}

std::string Line(const std::string& indent, const char* tag, const std::string& value) {
    return indent + "<" + tag + ">" + CMarkupSTL::EscapeText(value) + "</" + tag + ">\r\n";
}

}  // namespace

bool CPluginsConfigMgr::SelectEnabledPlugins(const std::string& deviceName,
                                             const std::string& customize) {
    if (deviceName.empty()) return true;
    std::lock_guard<std::recursive_mutex> lock(selectionMutex_);

    CMarkupSTL rules;
    if (!rules.LoadFromFile(FilePath(kRulesFile)) || !rules.FindSibling("plxadoc") ||
        !rules.Descend()) {
        Trace(framework::kTraceInfo, __LINE__, "PluginConfig file has damaged! Load file fail!");
        return false;
    }
    bool entered = EnterGroup(
        rules, [&](const std::string& name) { return launcher::Lower(name) == deviceName; });
    if (!entered) {
        // The fallback group lists an item named exactly "common".
        entered = EnterGroup(rules, [](const std::string& name) { return name == "common"; });
    }
    if (!entered) {
        Trace(framework::kTraceInfo, __LINE__, "Devicename has not found. ");
        return false;
    }
    if (!rules.FindSibling("common") || !rules.Descend() || !rules.FindSibling("plugin") ||
        !rules.Descend()) {
        Trace(framework::kTraceInfo, __LINE__, "the item of <common> is invalid. ");
        return false;
    }
    enabledIds_.clear();
    while (rules.FindSibling("item")) {
        std::string id = rules.AttributeValue("clsid");
        if (!id.empty()) enabledIds_.insert(id);
    }
    rules.Ascend();
    rules.Ascend();
    if (ApplyMatching(rules, "device", deviceName, enabledIds_) && !customize.empty()) {
        ApplyMatching(rules, "customize", launcher::Lower(customize), enabledIds_);
    }

    CMarkupSTL library;
    if (!library.LoadFromFile(FilePath(kLibraryFile)) || !library.FindSibling("main") ||
        !library.Descend()) {
        Trace(framework::kTraceInfo, __LINE__, "the pluginslib file has been damaged. ");
        return false;
    }
    records_.clear();
    enabledNames_.clear();
    while (library.FindSibling("plugin")) {
        library.Descend();
        if (library.FindSibling("clsid") && enabledIds_.count(library.ElementText())) {
            PluginRecord record = ReadRecord(library);
            enabledNames_.insert(record.name);
            records_.push_back(std::move(record));
        }
        library.Ascend();
    }
    RefreshPluginsUserManual();
    return true;
}

bool CPluginsConfigMgr::PluginsConfigChanged() {
    std::lock_guard<std::recursive_mutex> lock(selectionMutex_);
    CMarkupSTL list;
    if (!list.LoadFromFile(listPath_) || !list.FindSibling("main") || !list.Descend()) return true;
    std::set<std::string> listed;
    while (list.FindSibling("plugin")) {
        if (list.FindChild("clsid")) listed.insert(list.ChildText());
    }
    if (records_.size() != listed.size()) return true;
    for (const PluginRecord& record : records_) {
        if (!listed.count(record.clsid)) return true;
    }
    return false;
}

bool CPluginsConfigMgr::CreateNewPluginsConfig() {
    std::lock_guard<std::recursive_mutex> lock(selectionMutex_);
    std::string mainFrame = framework::kMainFramePluginId;
    CMarkupSTL old;
    if (old.LoadFromFile(listPath_) && old.FindSibling("main") && old.Descend() &&
        old.FindSibling("mainplugin")) {
        mainFrame = old.ElementText();
    }

    std::string text = "<main>\r\n" + Line("\t", "mainplugin", mainFrame);
    for (const PluginRecord& r : records_) {
        text += "\t<plugin>\r\n";
        text += Line("\t\t", "channel", r.channel);
        text += Line("\t\t", "name", r.name);
        text += Line("\t\t", "alias", r.alias);
        text += Line("\t\t", "clsid", r.clsid);
        text += Line("\t\t", "url", r.url);
        text += Line("\t\t", "setting_title", r.setting_title);
        text += Line("\t\t", "version", r.version);
        text += Line("\t\t", "type", r.type);
        text += Line("\t\t", "active", r.active);
        text += Line("\t\t", "static", r.static_);
        text += "\t</plugin>\r\n";
    }
    text += "</main>";

    CMarkupSTL doc;
    if (!doc.ParseText(text)) return false;
    if (platform::FileExists(listPath_)) platform::ClearReadOnly(listPath_);
    if (!doc.SaveToFile(listPath_)) {
        Trace(framework::kTraceWarning, __LINE__, "CreateNewPluginsConfig saved fail!");
        return false;
    }
    return true;
}

bool CPluginsConfigMgr::RefreshAvalidPluginsList() {
    std::string device = DeviceName();
    std::string customize = CustomizeText();
    std::lock_guard<std::recursive_mutex> lock(selectionMutex_);
    if (!SelectEnabledPlugins(ResolveDeviceName(device), customize)) {
        Trace(framework::kTraceError, __LINE__,
              "----- Attention:RefreshAvalidPluginsList Fail. ----");
        return false;
    }
    if (!PluginsConfigChanged()) return true;
    Trace(framework::kTraceInfo, __LINE__,
          "The device of " + device + " is using and the info of customize is " + customize + ".");
    return CreateNewPluginsConfig();
}
