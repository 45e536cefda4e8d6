#include "platform/ui/templates/sky.h"

namespace ui::templates {

namespace {
using K = ControlKind;
}  // namespace

const DialogTemplate& SkyTableDialog() {
    using namespace sky;
    // 300 x 168 dialog units (75 x 21 cells): four lines, the table, the Close button.
    static const DialogTemplate dialog{
        kSkyDialogId,
        L"Satellites",
        300,
        168,
        L"MS Shell Dlg",
        8,
        kDialogPopup | kDialogCaption | kDialogSysMenu,
        {
            {kCounts, K::Static, L"", {6, 4, 288, 8}, 0},
            {kDops, K::Static, L"", {6, 14, 288, 8}, 0},
            {kError, K::Static, L"", {6, 24, 288, 8}, 0},
            {kFirstFix, K::Static, L"", {6, 34, 288, 8}, 0},
            {kTable, K::ListView, L"", {6, 46, 288, 100}, kStyleBorder},
            {kClose, K::PushButton, L"Close", {244, 150, 50, 14}, kStyleDefault | kStyleGroup},
        },
    };
    return dialog;
}

const DialogTemplate& SkyPlotDialog() {
    using namespace sky;
    // 420 x 268 dialog units: the four lines, the sky plot and the bars beside it, Close.
    static const DialogTemplate dialog{
        kSkyDialogId,
        L"Satellites",
        420,
        268,
        L"MS Shell Dlg",
        8,
        kDialogPopup | kDialogCaption | kDialogSysMenu | kDialogMinimizeBox,
        {
            {kCounts, K::Static, L"", {6, 4, 408, 8}, 0},
            {kDops, K::Static, L"", {6, 14, 408, 8}, 0},
            {kError, K::Static, L"", {6, 24, 408, 8}, 0},
            {kFirstFix, K::Static, L"", {6, 34, 408, 8}, 0},
            {kPlot, K::SkyPlot, L"", {6, 46, 180, 196}, 0},
            {kBars, K::BarChart, L"", {192, 46, 222, 196}, 0},
            {kClose, K::PushButton, L"Close", {364, 248, 50, 14}, kStyleDefault | kStyleGroup},
        },
    };
    return dialog;
}

}  // namespace ui::templates
