// Small value types shared by the window kit: window handles, rectangles, message parameters
// and the standard numbers of commands, keys, power events and message boxes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace ui {

// A window of the kit, by number. Numbers are never reused within a process, so a stale
// handle names no window rather than a newer one. The empty handle is "no window" (as a
// parent: the desktop).
struct WindowHandle {
    std::uint64_t value = 0;
    explicit operator bool() const { return value != 0; }
    friend bool operator==(WindowHandle, WindowHandle) = default;
};

// A rectangle: in dialog units inside templates, in pixels everywhere else.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// The two parameters of a window message and its result.
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

// Standard command ids: the OK and Cancel buttons (and Enter and Escape without one).
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// What a control reports with a command.
enum class Notify {
    Clicked,           // button, check box or radio button clicked
    SelectionChanged,  // the user chose an item of a combo box
    EditChanged,       // the user changed the text of an edit or of a combo box's edit field
};

// How to show a window.
enum class ShowCommand { Hide, Normal, Restore };

// Power broadcast events.
inline constexpr unsigned kPowerQuerySuspend = 0;
inline constexpr unsigned kPowerSuspend = 4;
inline constexpr unsigned kPowerResumeSuspend = 7;
inline constexpr unsigned kPowerResumeAutomatic = 18;

// Message box styles (buttons and icon), combined with |.
inline constexpr unsigned kMbOk = 0x0;
inline constexpr unsigned kMbOkCancel = 0x1;
inline constexpr unsigned kMbYesNo = 0x4;
inline constexpr unsigned kMbIconError = 0x10;
inline constexpr unsigned kMbIconWarning = 0x30;
inline constexpr unsigned kMbIconInformation = 0x40;

// Key codes given to key hooks.
inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyEscape = 27;

// An icon, by resource number. The wx back end shows "<program dir>/icons/<number>.png"
// when there is one and a drawn stand-in otherwise.
struct Icon {
    int resource = 0;
    explicit operator bool() const { return resource != 0; }
    friend bool operator==(Icon, Icon) = default;
};

// A theme for a window's controls: colours as 0xRRGGBB, a font face and size in points.
// Empty parts leave the back end's defaults.
struct Theme {
    std::int64_t background = -1;  // -1: none
    std::int64_t text = -1;
    std::wstring fontFace;
    int fontSize = 0;
    bool Empty() const { return background < 0 && text < 0 && fontFace.empty() && fontSize <= 0; }
    friend bool operator==(const Theme&, const Theme&) = default;
};

// The system's file-open dialog.
inline constexpr unsigned kFileHideReadOnly = 0x4;
inline constexpr unsigned kFileOverwritePrompt = 0x2;
inline constexpr unsigned kFileMustExist = 0x1000;
// Offers only the files the user may execute (programs), whatever the filter's patterns.
inline constexpr unsigned kFileExecutables = 0x10000;

struct FileDialogRequest {
    WindowHandle owner;
    std::wstring filter;            // "EXE File|*.exe||": description|pattern pairs
    std::wstring defaultExtension;  // "*.exe" or "exe"
    std::wstring initialName;
    unsigned flags = 0;
};

}  // namespace ui

template <>
struct std::hash<ui::WindowHandle> {
    std::size_t operator()(ui::WindowHandle h) const noexcept {
        return std::hash<std::uint64_t>()(h.value);
    }
};
