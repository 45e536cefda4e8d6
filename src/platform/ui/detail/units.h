// Dialog units to the kit's pixels. The kit's pixels are those of an 8-point dialog font at
// 96 dpi (4 x 8 dialog units are 6 x 13 pixels) in both back ends, so that a dialog's own
// arithmetic in pixels (a column as wide as the list less 60) comes out the same; the wx
// back end scales them to the screen's pixels with the actual font.
#pragma once

#include "platform/ui/types.h"

namespace ui::detail {

inline constexpr int kBaseUnitX = 6;
inline constexpr int kBaseUnitY = 13;

inline int ScaleUnits(int units, int base, int divisor) {
    int scaled = units * base;
    return scaled >= 0 ? (scaled + divisor / 2) / divisor : -((-scaled + divisor / 2) / divisor);
}

inline Rect DialogUnitsToPixels(const Rect& r) {
    return Rect{ScaleUnits(r.x, kBaseUnitX, 4), ScaleUnits(r.y, kBaseUnitY, 8),
                ScaleUnits(r.width, kBaseUnitX, 4), ScaleUnits(r.height, kBaseUnitY, 8)};
}

}  // namespace ui::detail
