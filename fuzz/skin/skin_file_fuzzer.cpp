// Skin files come from the install tree and may be edited by hand: any bytes must parse,
// and a theme must only ever hold values the window kit can show.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "framework/skin/skin.h"

namespace {

void Check(const ui::Theme& theme) {
    auto colour = [](std::int64_t c) { return c == -1 || (c >= 0 && c <= 0xFFFFFF); };
    if (!colour(theme.background) || !colour(theme.text)) std::abort();
    if (theme.fontSize != 0 && (theme.fontSize < 4 || theme.fontSize > 72)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    skin::SkinFile file = skin::ParseSkin(text);
    Check(file.defaults);
    for (const auto& [name, frame] : file.frames) Check(skin::ThemeFor(file, name));
    return 0;
}
