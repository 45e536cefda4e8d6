// Sample texts for the gallery's dialogs in the three languages of the program.
#pragma once

#include <array>
#include <string>

namespace gallery {

enum class Language { English, Japanese, Portuguese };

struct Texts {
    std::wstring title, start, stop, setting, autoRun, open, noData, seconds, gpsTypeLabel;
    std::wstring itemColumn, valueColumn;
    std::array<std::wstring, 5> rows;    // port, longitude, latitude, satellites, time
    std::array<std::wstring, 5> values;  // a sample position
    std::wstring ready, waiting, stopped;
    std::array<std::wstring, 3> mapSites;
    std::wstring openQuestion, opened;  // the Open button's message box and its outcome
    // The settings dialog.
    std::wstring settingsTitle, gpsType, typeGps, typeAgps, agpsConfig, apn, supl, scenario,
        highSpeed, pedestrian, useNow, save, cancel;
};

const Texts& TextsFor(Language language);
// The language selector's entries, in the order of Language.
const std::array<std::wstring, 3>& LanguageNames();

}  // namespace gallery
