// Web addresses of the current position in a map site, from the link templates of the
// language file.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/process.h"

namespace orbitpane {

// The language key of the link template for the map site chosen in the selector: the text
// holds "google" (case-sensitive), else "yahoo", else neither.
const wchar_t* LinkTemplateKey(const std::wstring& siteText);

// A coordinate text read as the C library's atof reads it (the leading number, 0 when there
// is none), whatever the process locale.
double ReadCoordinate(const std::string& text);

// The link: the template formatted as printf would with latitude, longitude, latitude,
// longitude. The template may hold only "%%" and at most four floating-point conversions
// (flags, width and precision allowed, no '*' and no length modifier); any other, or a link
// of 256 characters or more, gives nothing and `why` says which. Numbers use '.' whatever
// the process locale.
std::optional<std::string> BuildMapLink(const std::string& linkTemplate, double latitude,
                                        double longitude, std::string& why);

// Opens a link; `answered` runs, on any thread, once the handler has ended. False, without an
// answer, when no handler could be started.
using LinkOpener = std::function<bool(
    const std::string& link, std::function<void(const platform::ProgramOutcome&)> answered)>;
// The desktop's handler (xdg-open, its output kept off the terminal).
bool OpenWithDesktop(const std::string& link,
                     std::function<void(const platform::ProgramOutcome&)> answered);

}  // namespace orbitpane
