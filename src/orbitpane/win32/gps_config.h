// The GPS settings kept in config/ConfigFile.xml below the program directory.
//
// The file's root is ConfigInfo with six elements in this order: AGPS, Path, Type, APN, SUPL,
// Scenario. Each holds one child "element" whose attribute carries the value ("isSupported"
// for AGPS, "name" for the others). The program only updates the elements an installed file
// already has; it never creates them.
#pragma once

#include <string>

#include "markup/markup_stl.h"

struct GPSConfigInfo {
    int isAGPSSupported = 0;
    std::string strPath;
    std::string strType = "GPS";
    std::string strAPN;
    std::string strSUPL;
    std::string strScenario = "High speed";
};

inline constexpr const char* kScenarioPedestrian = "Pedestrianism";
inline constexpr const char* kScenarioHighSpeed = "High speed";

// The one document through which every read and write of the file goes.
class GpsConfigFile {
  public:
    // `appDirectory`: the program directory, without a trailing separator.
    void SetAppDirectory(const std::string& appDirectory);
    const std::string& Path() const { return path_; }

    // Fills `info` from the file; every value the file lacks takes its default.
    void Load(GPSConfigInfo& info);
    // Stores `path` as the Path value and writes the file. False when the file could not be
    // opened as a configuration, Path has no child, or the write failed.
    bool SaveProgramPath(GPSConfigInfo& info, const std::string& path);
    // Writes Type, APN, SUPL and Scenario from `info`. False when the write failed.
    bool SaveSettings(const GPSConfigInfo& info);

  private:
    bool Open();
    bool FindValue(const char* element);
    void Update(const char* element, const std::string& value);

    std::string path_;
    CMarkupSTL doc_;
};
