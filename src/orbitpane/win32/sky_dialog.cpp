#include "orbitpane/win32/sky_dialog.h"

#include "orbitpane/win32/plugin_context.h"
#include "orbitpane/win32/sky_texts.h"
#include "platform/ui/charts.h"
#include "platform/ui/controls.h"
#include "platform/ui/templates/sky.h"

namespace ids = ui::templates::sky;

namespace {

// Column widths in the kit's pixels, 6 a character cell.
constexpr int kCell = 6;

}  // namespace

CSkyDlg::CSkyDlg(orbitpane::PluginContext& context, const ui::DialogTemplate& dialogTemplate)
    : Dialog(dialogTemplate), context_(context) {
    OnClicked(ids::kClose, [this] { DestroyWindow(); });
}

CSkyDlg::~CSkyDlg() {
    DestroyWindow();
}

std::wstring CSkyDlg::Text(const wchar_t* key) const {
    return context_.Text(key);
}

void CSkyDlg::Open(ui::WindowHandle owner) {
    if (!HasWindow() && !Create(owner)) return;
    ShowWindow(ui::ShowCommand::Normal);
    SetForeground();
}

bool CSkyDlg::OnInitDialog() {
    ui::ListView table = List(ids::kTable);
    table.SetExtendedStyle(ui::kListGridLines | ui::kListFullRowSelect);
    ApplyLanguage();
    SetFocus(ids::kClose);
    return true;
}

void CSkyDlg::OnCancel() {
    DestroyWindow();
}

void CSkyDlg::OnClose() {
    DestroyWindow();
}

void CSkyDlg::ApplyLanguage() {
    if (!HasWindow()) return;
    SetTitle(Text(L"IDS_TITLE_SKY"));
    SetItemText(ids::kClose, Text(L"IDS_BTN_CLOSE"));
    ui::ListView table = List(ids::kTable);
    while (table.ColumnCount() > 0) table.DeleteColumn(0);
    const struct {
        const wchar_t* key;
        int cells;
        ui::ColumnAlign align;
    } kColumns[] = {
        {L"IDS_SKY_COL_SYSTEM", 10, ui::ColumnAlign::Left},
        {L"IDS_SKY_COL_NUMBER", 5, ui::ColumnAlign::Right},
        {L"IDS_SKY_COL_ELEVATION", 6, ui::ColumnAlign::Right},
        {L"IDS_SKY_COL_AZIMUTH", 6, ui::ColumnAlign::Right},
        {L"IDS_SKY_COL_SIGNAL", kBarCells + 4, ui::ColumnAlign::Left},
        {L"IDS_SKY_COL_USED", 6, ui::ColumnAlign::Left},
    };
    int column = 0;
    for (const auto& c : kColumns)
        table.InsertColumn(column++, Text(c.key), c.cells * kCell, c.align);
    Draw();
}

void CSkyDlg::Show(const SkyState& state) {
    state_ = state;
    if (HasWindow()) Draw();
}

void CSkyDlg::Draw() {
    auto text = [this](const wchar_t* key) { return Text(key); };
    SetItemText(ids::kFirstFix, orbitpane::FirstFixLine(state_.running, state_.firstFix, text));
    if (!state_.sky) {
        SetItemText(ids::kCounts,
                    Text(state_.running ? L"IDS_SKY_WAITING" : L"IDS_SKY_NO_SESSION"));
        SetItemText(ids::kDops, L"");
        SetItemText(ids::kError, L"");
    } else {
        SetItemText(ids::kCounts, orbitpane::SkyCounts(*state_.sky, text));
        SetItemText(ids::kDops, orbitpane::SkyDops(*state_.sky));
        SetItemText(ids::kError, orbitpane::SkyError(*state_.sky, text));
    }
    DrawTable();
    DrawCharts();
}

void CSkyDlg::DrawCharts() {
    auto text = [this](const wchar_t* key) { return Text(key); };
    const framework::GpsSkyRecord none{};
    const framework::GpsSkyRecord& sky = state_.sky ? *state_.sky : none;
    Plot(ids::kPlot).SetMarks(orbitpane::SkyMarks(sky));
    Plot(ids::kPlot).SetLegend(orbitpane::SkyLegend(sky, text));
    Bars(ids::kBars).SetBars(orbitpane::SkyBars(sky, text), orbitpane::kFullSignal);
}

void CSkyDlg::DrawTable() {
    ui::ListView table = List(ids::kTable);
    if (table.ColumnCount() == 0) return;
    std::vector<orbitpane::SkyRow> rows;
    if (state_.sky) {
        rows = orbitpane::SkyRows(*state_.sky, kBarCells,
                                  [this](const wchar_t* key) { return Text(key); });
    }
    // Rows are kept and rewritten, so that the table does not flicker or lose its scroll.
    while (table.ItemCount() > static_cast<int>(rows.size()))
        table.DeleteItem(table.ItemCount() - 1);
    for (size_t i = 0; i < rows.size(); ++i) {
        const orbitpane::SkyRow& r = rows[i];
        int row = static_cast<int>(i);
        if (row >= table.ItemCount()) {
            table.InsertItem(row, r.system);
        } else {
            table.SetItemText(row, 0, r.system);
        }
        table.SetItemText(row, 1, r.number);
        table.SetItemText(row, 2, r.elevation);
        table.SetItemText(row, 3, r.azimuth);
        table.SetItemText(row, 4, r.signal);
        table.SetItemText(row, 5, r.usedText);
    }
}
