#include "orbitpane/win32/gps_config.h"

#include "platform/user_files.h"

namespace {
constexpr const char* kChild = "element";
constexpr const char* kValueAttribute = "name";
}  // namespace

void GpsConfigFile::SetAppDirectory(const std::string& appDirectory) {
    path_ = platform::UserFilePath(appDirectory, "config/ConfigFile.xml");
}

bool GpsConfigFile::Open() {
    if (!doc_.LoadFromFile(path_)) return false;
    return doc_.FindSibling("ConfigInfo") && doc_.Descend();
}

// Finds `element` after the one found last at this level, then its child. A missing element
// leaves the position where it was.
bool GpsConfigFile::FindValue(const char* element) {
    return doc_.FindSibling(element) && doc_.FindChild(kChild);
}

void GpsConfigFile::Load(GPSConfigInfo& info) {
    info = GPSConfigInfo();
    if (!Open()) return;

    if (FindValue("AGPS")) {
        std::string flag = doc_.ChildAttributeValue("isSupported");
        info.isAGPSSupported = (flag == "Y" || flag == "y") ? 1 : 0;
    }
    if (FindValue("Path")) info.strPath = doc_.ChildAttributeValue(kValueAttribute);
    if (FindValue("Type")) {
        std::string type = doc_.ChildAttributeValue(kValueAttribute);
        if (type == "GPS" || type == "AGPS") info.strType = type;
    }
    if (FindValue("APN")) info.strAPN = doc_.ChildAttributeValue(kValueAttribute);
    if (FindValue("SUPL")) info.strSUPL = doc_.ChildAttributeValue(kValueAttribute);
    if (FindValue("Scenario")) {
        std::string scenario = doc_.ChildAttributeValue(kValueAttribute);
        if (scenario == kScenarioHighSpeed || scenario == kScenarioPedestrian) {
            info.strScenario = scenario;
        }
    }
}

void GpsConfigFile::Update(const char* element, const std::string& value) {
    if (FindValue(element)) doc_.PutChildAttribute(kValueAttribute, value);
}

bool GpsConfigFile::SaveProgramPath(GPSConfigInfo& info, const std::string& path) {
    if (!Open()) return false;
    if (doc_.FindSibling("Path")) {
        if (!doc_.FindChild(kChild)) return false;
        doc_.PutChildAttribute(kValueAttribute, path);
        info.strPath = path;
    }
    return doc_.SaveToFile(path_);
}

bool GpsConfigFile::SaveSettings(const GPSConfigInfo& info) {
    if (Open()) {
        Update("Type", info.strType);
        Update("APN", info.strAPN);
        Update("SUPL", info.strSUPL);
        Update("Scenario", info.strScenario);
    }
    return doc_.SaveToFile(path_);
}
