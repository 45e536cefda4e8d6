// The skin library: a theme for the program's windows. A skin file is a small key=value text
// with the background and text colours and the font; sections named after frame skins carry
// keys that override the ones before the first section:
//
//   # classic
//   background = #F0F4F8
//   text = #1F2A36
//   font_face = DejaVu Sans
//   font_size = 9
//   [CommFrame]
//   background = #E4ECF4
//
// The wx back end shows the theme on the windows it is applied to; without a loaded file
// nothing changes. Every operation is safe from any thread.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "platform/ui/types.h"

namespace skin {

struct SkinFile {
    ui::Theme defaults;
    std::map<std::wstring, ui::Theme> frames;  // only the keys each section sets
};

// Parses a skin file's UTF-8 text. Comments (#, ;), blank lines, lines without '=', unknown
// keys and values that do not parse are skipped.
SkinFile ParseSkin(std::string_view text);
// The defaults with the keys of section `frame` on top.
ui::Theme ThemeFor(const SkinFile& file, const std::wstring& frame);

// Initialise skinning under a skin name; shut it down (forgets the file, the frame and the
// windows' types).
bool InitSkin(const std::wstring& skinName);
void ExitSkin();
// Loads a skin file. False when it cannot be read or sets nothing; the theme is gone then.
bool LoadSkinFile(const std::wstring& path);
// Chooses the frame skin whose theme SkinWindow applies; true when the file has it.
bool SetFrameSkin(const std::wstring& frame);
// Applies the current theme to a window's controls; false without a loaded file or window.
bool SkinWindow(ui::WindowHandle window);
// Records a window's skin type ("DialogMinClose": a dialog frame with minimise and close).
bool SetWindowSkinType(ui::WindowHandle window, const std::wstring& type);
std::wstring WindowSkinType(ui::WindowHandle window);

}  // namespace skin
