// The kit's charts: a sky plot and a bar chart keep what a dialog gives them, answer nothing
// for controls of another kind, and the terminal draws them with characters where their marks
// and bars belong.
#include <gtest/gtest.h>

#include <sstream>

#include "backend_under_test.h"
#include "platform/text.h"
#include "platform/ui/charts.h"
#include "platform/ui/dialog.h"
#include "platform/ui/headless/driver.h"
#include "platform/ui/kit.h"
#ifdef SATVIEW_TEST_TERMINAL
#include "platform/ui/terminal/terminal.h"
#endif

using namespace ui;

namespace {

constexpr int kPlot = 1, kBars = 2, kLabel = 3;

DialogTemplate ChartsTemplate() {
    using K = ControlKind;
    return DialogTemplate{
        950,
        L"Charts",
        200,
        120,
        L"MS Shell Dlg",
        8,
        kDialogCaption,
        {
            {kPlot, K::SkyPlot, L"", {4, 4, 96, 112}, 0},
            {kBars, K::BarChart, L"", {104, 4, 92, 112}, 0},
            {kLabel, K::Static, L"Label", {104, 112, 40, 8}, kStyleHidden},
        },
    };
}

class Charts : public Dialog {
  public:
    Charts() : Dialog(ChartsTemplate()) {}
    ~Charts() override { DestroyWindow(); }
};

const std::vector<PlotMark> kMarks = {
    {0, 90, MarkShape::Circle, 0x1F77B4, true, L"7"},      // the zenith, used
    {90, 0, MarkShape::Square, 0xD62728, false, L"65"},    // on the horizon, east
    {180, 30, MarkShape::Triangle, 0x2CA02C, true, L"3"},  // south, low
};
const std::vector<LegendEntry> kLegend = {{MarkShape::Circle, 0x1F77B4, L"GPS"},
                                          {MarkShape::Square, 0xD62728, L"GLONASS"}};
const std::vector<ChartBar> kBarsShown = {
    {L"GPS", L"7", 44, 0x1F77B4, true},
    {L"GPS", L"12", 25, 0x1F77B4, false},
    {L"GLONASS", L"65", 60, 0xD62728, true},  // beyond the full scale
};

}  // namespace

TEST(Charts, KeepWhatTheyAreGivenAndRefuseOtherKinds) {
    Charts dialog;
    ASSERT_TRUE(dialog.Create());
    dialog.ShowWindow(ShowCommand::Normal);
    EXPECT_TRUE(dialog.Plot(kPlot).SetMarks(kMarks));
    EXPECT_TRUE(dialog.Plot(kPlot).SetLegend(kLegend));
    EXPECT_TRUE(dialog.Bars(kBars).SetBars(kBarsShown, 50));
    EXPECT_EQ(dialog.Plot(kPlot).Marks(), kMarks);
    EXPECT_EQ(dialog.Plot(kPlot).Legend(), kLegend);
    EXPECT_EQ(dialog.Bars(kBars).Bars(), kBarsShown);
    EXPECT_EQ(dialog.Bars(kBars).FullScale(), 50);
    for (int other : {kBars, kLabel, 99}) {
        EXPECT_FALSE(dialog.Plot(other).SetMarks(kMarks)) << other;
        EXPECT_TRUE(dialog.Plot(other).Marks().empty()) << other;
    }
    EXPECT_FALSE(dialog.Bars(kPlot).SetBars(kBarsShown, 50));
    EXPECT_TRUE(dialog.Bars(kLabel).Bars().empty());
    // A test sees them as the user does.
    headless::Driver user(dialog.Handle());
    EXPECT_EQ(user.Marks(kPlot), kMarks);
    EXPECT_EQ(user.Legend(kPlot), kLegend);
    EXPECT_EQ(user.Bars(kBars), kBarsShown);
    EXPECT_EQ(user.FullScale(kBars), 50);
}

#ifdef SATVIEW_TEST_TERMINAL
namespace {

std::vector<std::wstring> Lines(const std::wstring& screen) {
    std::vector<std::wstring> lines;
    std::wistringstream in(screen);
    for (std::wstring line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

TEST(Charts, TheTerminalDrawsMarksWhereTheyStandAndBarsAsLongAsTheirValues) {
    Charts dialog;
    ASSERT_TRUE(dialog.Create());
    dialog.ShowWindow(ShowCommand::Normal);
    dialog.Plot(kPlot).SetMarks(kMarks);
    dialog.Plot(kPlot).SetLegend(kLegend);
    dialog.Bars(kBars).SetBars(kBarsShown, 50);
    std::wstring screen;
    for (int i = 0; i < 100; ++i) {
        terminal::WaitIdle(200);
        screen = terminal::ScreenText();
        if (screen.find(L"GLONASS") != std::wstring::npos &&
            screen.find(L"\u25CF7") != std::wstring::npos)
            break;
    }
    std::vector<std::wstring> lines = Lines(screen);
    auto find = [&](const std::wstring& text, int& row, int& col) {
        for (size_t r = 0; r < lines.size(); ++r) {
            size_t at = lines[r].find(text);
            if (at != std::wstring::npos) {
                row = static_cast<int>(r);
                col = static_cast<int>(at);
                return true;
            }
        }
        return false;
    };
    int zenithRow, zenithCol, northRow, northCol, eastRow, eastCol, southRow, southCol;
    ASSERT_TRUE(find(L"\u25CF7", zenithRow, zenithCol)) << platform::WideToUtf8(screen);
    ASSERT_TRUE(find(L"N", northRow, northCol));
    ASSERT_TRUE(find(L"\u25A165", eastRow, eastCol)) << "open: not used";
    ASSERT_TRUE(find(L"\u25B23", southRow, southCol));
    // North above the zenith, the eastern mark on its row to the right, the southern below.
    EXPECT_LT(northRow, zenithRow);
    EXPECT_EQ(northCol, zenithCol);
    EXPECT_EQ(eastRow, zenithRow);
    EXPECT_GT(eastCol, zenithCol + 4);
    EXPECT_GT(southRow, zenithRow);
    EXPECT_EQ(southCol, zenithCol);
    int row, col;
    EXPECT_TRUE(find(L"\u25CF GPS  \u25A0 GLONASS", row, col)) << platform::WideToUtf8(screen);
    // The bars: under their groups' names, as long as their values, full beyond the scale.
    int gpsRow, glonassRow;
    ASSERT_TRUE(find(L"GPS", gpsRow, col));
    ASSERT_TRUE(find(L"GLONASS", glonassRow, col));
    int sevenRow, sevenCol, twelveRow, twelveCol, fullRow, fullCol;
    ASSERT_TRUE(find(L" 44 *", sevenRow, sevenCol)) << platform::WideToUtf8(screen);
    ASSERT_TRUE(find(L" 25", twelveRow, twelveCol));
    ASSERT_TRUE(find(L" 60 *", fullRow, fullCol));
    EXPECT_GT(sevenRow, gpsRow);
    EXPECT_EQ(twelveRow, sevenRow + 1);
    EXPECT_GT(fullRow, glonassRow);
    auto blocks = [&](int r) { return std::count(lines[r].begin(), lines[r].end(), L'\u2588'); };
    EXPECT_GT(blocks(sevenRow), blocks(twelveRow));
    EXPECT_GT(blocks(fullRow), blocks(sevenRow));
}
#endif
