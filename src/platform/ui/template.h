// Dialog templates as values: the window's title, size, font and styles, and its controls
// with their ids, kinds, texts, rectangles (in dialog units) and styles.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/types.h"

namespace ui {

enum class ControlKind {
    PushButton,
    CheckBox,     // automatic: a click toggles it
    RadioButton,  // automatic: a click checks it and clears the others of its group
    Static,       // a line of text
    GroupBox,
    Icon,           // shows ControlTemplate::icon
    Edit,           // single line
    DropDownList,   // a combo box that only offers its items
    DropDownCombo,  // a combo box with an edit field the user may type into
    ListView,       // report view with columns
    SkyPlot,        // marks at azimuth and elevation, north up (charts.h)
    BarChart,       // a bar per item, in groups (charts.h)
};

// Control styles.
inline constexpr std::uint32_t kStyleDisabled = 1u << 0;     // initially disabled
inline constexpr std::uint32_t kStyleHidden = 1u << 1;       // initially hidden
inline constexpr std::uint32_t kStyleDefault = 1u << 2;      // the default push button
inline constexpr std::uint32_t kStyleCentre = 1u << 3;       // centred text
inline constexpr std::uint32_t kStyleAutoHScroll = 1u << 4;  // edit scrolls as text grows
inline constexpr std::uint32_t kStyleGroup = 1u << 5;        // starts a group
inline constexpr std::uint32_t kStyleNoScroll = 1u << 6;     // list view without scroll bars
inline constexpr std::uint32_t kStyleBorder = 1u << 7;       // bordered
// static text shown as it is: no "&" marks the next character
inline constexpr std::uint32_t kStyleNoPrefix = 1u << 8;

// Dialog styles.
inline constexpr std::uint32_t kDialogCaption = 1u << 0;
inline constexpr std::uint32_t kDialogSysMenu = 1u << 1;
inline constexpr std::uint32_t kDialogMinimizeBox = 1u << 2;
inline constexpr std::uint32_t kDialogModalFrame = 1u << 3;
inline constexpr std::uint32_t kDialogVisible = 1u << 4;  // shown as soon as created
inline constexpr std::uint32_t kDialogPopup = 1u << 5;

// Id of controls nobody addresses (labels, group boxes).
inline constexpr int kIdStatic = -1;

// The closed height of a combo box in dialog units; its template height is the height of its
// drop-down list.
inline constexpr int kComboClosedHeight = 12;

struct ControlTemplate {
    int id = kIdStatic;
    ControlKind kind = ControlKind::Static;
    std::wstring text;
    Rect rect;  // dialog units
    std::uint32_t styles = 0;
    int icon = 0;  // ControlKind::Icon only: the icon's resource number
};

struct DialogTemplate {
    int id = 0;
    std::wstring title;
    int width = 0;  // dialog units
    int height = 0;
    std::wstring fontFace;
    int fontSize = 8;
    std::uint32_t styles = 0;
    std::vector<ControlTemplate> controls;

    // The control with `id`, or null. kIdStatic finds nothing.
    const ControlTemplate* Find(int id) const;
};

// The ids of the radio buttons in the group of radio button `id`: the radio buttons between
// the nearest control at or before it that starts a group and the next control that starts
// one. Empty when `id` is not a radio button.
std::vector<int> RadioGroup(const DialogTemplate& dialog, int id);

// The rectangle a control covers on screen while closed, in dialog units (a combo box's
// template height is that of its list).
Rect VisibleRect(const ControlTemplate& control);

// Layout problems of a template, one text each: duplicate ids, controls outside the dialog,
// and controls shown at start that overlap (a group box may hold controls).
std::vector<std::string> CheckLayout(const DialogTemplate& dialog);

}  // namespace ui
