#include "framework/skin/skin.h"

#include <cctype>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "platform/files.h"
#include "platform/text.h"
#include "platform/ui/kit.h"

namespace skin {

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// "#RRGGBB".
std::optional<std::int64_t> ParseColour(std::string_view value) {
    if (value.size() != 7 || value[0] != '#') return std::nullopt;
    std::int64_t rgb = 0;
    for (char c : value.substr(1)) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        rgb = rgb * 16 +
              (std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10);
    }
    return rgb;
}

std::optional<int> ParseSize(std::string_view value) {
    if (value.empty() || value.size() > 2) return std::nullopt;
    int size = 0;
    for (char c : value) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        size = size * 10 + (c - '0');
    }
    if (size < 4 || size > 72) return std::nullopt;
    return size;
}

void Set(ui::Theme& theme, std::string_view key, std::string_view value) {
    std::string name = Lower(key);
    if (name == "background" || name == "text") {
        if (auto rgb = ParseColour(value)) (name == "text" ? theme.text : theme.background) = *rgb;
    } else if (name == "font_face") {
        std::wstring face = platform::Utf8ToWide(value);
        if (!face.empty()) theme.fontFace = face;
    } else if (name == "font_size") {
        if (auto size = ParseSize(value)) theme.fontSize = *size;
    }
}

bool SetsAnything(const SkinFile& file) {
    if (!file.defaults.Empty()) return true;
    for (const auto& frame : file.frames) {
        if (!frame.second.Empty()) return true;
    }
    return false;
}

// The library's process-wide state.
struct State {
    std::mutex mutex;
    bool initialised = false;
    std::wstring skinName;
    std::optional<SkinFile> file;
    std::wstring frame;
    std::unordered_map<ui::WindowHandle, std::wstring> types;
};

State& state() {
    static State s;
    return s;
}

}  // namespace

SkinFile ParseSkin(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    SkinFile file;
    ui::Theme* section = &file.defaults;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = platform::TrimBlanks(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (line.front() == '[' && line.back() == ']') {
            section = &file.frames[platform::Utf8ToWide(
                platform::TrimBlanks(line.substr(1, line.size() - 2)))];
            continue;
        }
        size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        Set(*section, platform::TrimBlanks(line.substr(0, equals)),
            platform::TrimBlanks(line.substr(equals + 1)));
    }
    return file;
}

ui::Theme ThemeFor(const SkinFile& file, const std::wstring& frame) {
    ui::Theme theme = file.defaults;
    auto it = file.frames.find(frame);
    if (it == file.frames.end()) return theme;
    const ui::Theme& over = it->second;
    if (over.background >= 0) theme.background = over.background;
    if (over.text >= 0) theme.text = over.text;
    if (!over.fontFace.empty()) theme.fontFace = over.fontFace;
    if (over.fontSize > 0) theme.fontSize = over.fontSize;
    return theme;
}

bool InitSkin(const std::wstring& skinName) {
    std::lock_guard<std::mutex> lock(state().mutex);
    state().initialised = true;
    state().skinName = skinName;
    return true;
}

void ExitSkin() {
    std::lock_guard<std::mutex> lock(state().mutex);
    State& s = state();
    s.initialised = false;
    s.skinName.clear();
    s.file.reset();
    s.frame.clear();
    s.types.clear();
}

bool LoadSkinFile(const std::wstring& path) {
    std::optional<std::string> text = platform::ReadWholeFile(platform::WideToUtf8(path));
    std::optional<SkinFile> file;
    if (text) file = ParseSkin(*text);
    if (file && !SetsAnything(*file)) file.reset();
    std::lock_guard<std::mutex> lock(state().mutex);
    state().file = std::move(file);
    return state().file.has_value();
}

bool SetFrameSkin(const std::wstring& frame) {
    std::lock_guard<std::mutex> lock(state().mutex);
    state().frame = frame;
    return state().file && state().file->frames.count(frame) != 0;
}

bool SkinWindow(ui::WindowHandle window) {
    ui::Theme theme;
    {
        std::lock_guard<std::mutex> lock(state().mutex);
        if (!state().file) return false;
        theme = ThemeFor(*state().file, state().frame);
    }
    return ui::SetWindowTheme(window, theme);
}

bool SetWindowSkinType(ui::WindowHandle window, const std::wstring& type) {
    if (!ui::IsWindow(window)) return false;
    std::lock_guard<std::mutex> lock(state().mutex);
    state().types[window] = type;
    return true;
}

std::wstring WindowSkinType(ui::WindowHandle window) {
    std::lock_guard<std::mutex> lock(state().mutex);
    auto it = state().types.find(window);
    return it == state().types.end() ? std::wstring() : it->second;
}

}  // namespace skin
