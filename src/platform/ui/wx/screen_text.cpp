#include "platform/ui/wx/screen_text.h"

#include "platform/ui/wx/charts.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/listctrl.h>
#include <wx/radiobut.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/toplevel.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace ui::wxkit {
namespace {

constexpr int kPeriodMilliseconds = 200;

std::string Utf8(const wxString& text) {
    return std::string(text.utf8_str().data());
}

// One line per visible control that shows text, in child order, panels walked through.
void Describe(wxWindow* window, std::string& out) {
    for (wxWindow* child : window->GetChildren()) {
        if (!child->IsShown() || child->IsTopLevel()) continue;
        if (auto* list = dynamic_cast<wxListCtrl*>(child)) {
            for (long row = 0; row < list->GetItemCount(); ++row) {
                std::string line = "  row:";
                for (int column = 0; column < list->GetColumnCount(); ++column) {
                    line += " | " + Utf8(list->GetItemText(row, column));
                }
                out += line + "\n";
            }
        } else if (auto* plot = dynamic_cast<SkyPlotWindow*>(child)) {
            out += plot->Describe();
        } else if (auto* bars = dynamic_cast<BarChartWindow*>(child)) {
            out += bars->Describe();
        } else if (auto* edit = dynamic_cast<wxTextCtrl*>(child)) {
            out += "  edit: " + Utf8(edit->GetValue()) + "\n";
        } else if (auto* combo = dynamic_cast<wxComboBox*>(child)) {
            out += "  combo: " + Utf8(combo->GetValue()) + "\n";
        } else if (auto* choice = dynamic_cast<wxChoice*>(child)) {
            out += "  choice: " + Utf8(choice->GetStringSelection()) + "\n";
        } else if (dynamic_cast<wxStaticText*>(child) || dynamic_cast<wxButton*>(child) ||
                   dynamic_cast<wxCheckBox*>(child) || dynamic_cast<wxRadioButton*>(child) ||
                   dynamic_cast<wxStaticBox*>(child)) {
            out += "  text: " + Utf8(child->GetLabel()) + "\n";
        }
        Describe(child, out);
    }
}

class ScreenText : public wxTimer {
  public:
    explicit ScreenText(std::string path) : path_(std::move(path)) {}
    void Notify() override {
        std::string text;
        for (wxWindow* top : wxTopLevelWindows) {
            if (!top->IsShown()) continue;
            text += "window: " + Utf8(top->GetLabel()) + "\n";
            Describe(top, text);
        }
        if (text == written_) return;
        // Whole copies only: the reader never sees a half-written file.
        std::string partial = path_ + ".part";
        FILE* file = std::fopen(partial.c_str(), "w");
        if (file == nullptr) return;
        bool whole = std::fwrite(text.data(), 1, text.size(), file) == text.size();
        whole = std::fclose(file) == 0 && whole;
        if (whole && std::rename(partial.c_str(), path_.c_str()) == 0) written_ = text;
    }

  private:
    std::string path_;
    std::string written_;
};

}  // namespace

std::unique_ptr<wxTimer> StartScreenText() {
    const char* path = std::getenv("SATVIEW_SCREEN_TEXT");
    if (path == nullptr || *path == '\0') return nullptr;
    auto timer = std::make_unique<ScreenText>(path);
    timer->Start(kPeriodMilliseconds);
    return timer;
}

}  // namespace ui::wxkit
