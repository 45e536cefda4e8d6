#include "platform/ui/wx/view.h"

#include <wx/bitmap.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/dialog.h>
#include <wx/iconbndl.h>
#include <wx/image.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/radiobut.h>
#include <wx/settings.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/ui/detail/units.h"
#include "platform/ui/kit.h"
#include "platform/ui/wx/backend.h"
#include "platform/ui/wx/charts.h"
#include "platform/ui/wx/gtk_native.h"
#include "platform/ui/wx_native.h"

namespace ui::wxkit {

using detail::ControlState;
using detail::DialogAccess;

namespace {

// Delivers an event of the native window to its dialog, if the window still exists.
template <typename F>
void Deliver(WindowHandle window, F f) {
    detail::KitState* kit = detail::Kit();
    if (kit == nullptr) return;
    if (Dialog* dialog = kit->registry.Find(window)) f(*dialog);
}

WxView* ViewFor(Dialog& dialog) {
    return static_cast<WxView*>(DialogAccess::ViewOf(dialog));
}

int KeyCode(const wxKeyEvent& event) {
    int code = event.GetKeyCode();
    if (code == WXK_NUMPAD_ENTER) return kKeyEnter;
    return code;
}

wxColour Colour(std::int64_t rgb) {
    return wxColour(static_cast<unsigned char>((rgb >> 16) & 0xFF),
                    static_cast<unsigned char>((rgb >> 8) & 0xFF),
                    static_cast<unsigned char>(rgb & 0xFF));
}

// The template's font: its size, in the system's dialog face (the template names a face of
// another system; an installed face of that name is taken as it is).
wxFont DialogFont(const DialogTemplate& t) {
    wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    wxFont named(wxFontInfo(t.fontSize > 0 ? t.fontSize : 8).FaceName(ToWx(t.fontFace)));
    if (!t.fontFace.empty() && named.IsOk() && named.GetFaceName() == ToWx(t.fontFace)) {
        font = named;
    }
    if (t.fontSize > 0) font.SetPointSize(t.fontSize);
    return font;
}

wxListColumnFormat Format(ColumnAlign align) {
    switch (align) {
        case ColumnAlign::Centre:
            return wxLIST_FORMAT_CENTRE;
        case ColumnAlign::Right:
            return wxLIST_FORMAT_RIGHT;
        default:
            return wxLIST_FORMAT_LEFT;
    }
}

bool FirstOfRadioGroup(const DialogTemplate& t, int id) {
    auto group = RadioGroup(t, id);
    return !group.empty() && group.front() == id;
}

}  // namespace

wxBitmap IconBitmap(int resource, int size) {
    std::string file = platform::JoinPath(platform::ProgramDirectory(),
                                          "icons/" + std::to_string(resource) + ".png");
    if (platform::FileExists(file)) {
        wxImage image(wxString::FromUTF8(file.c_str()), wxBITMAP_TYPE_PNG);
        if (image.IsOk()) return wxBitmap(image.Rescale(size, size, wxIMAGE_QUALITY_HIGH));
    }
    // A stand-in: a blue globe with a bright satellite.
    wxBitmap bitmap(size, size);
    wxMemoryDC dc(bitmap);
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(wxColour(31, 78, 121)));
    dc.DrawCircle(size / 2, size / 2, size / 2 - 1);
    dc.SetBrush(wxBrush(wxColour(255, 196, 0)));
    dc.DrawCircle(size * 2 / 3, size / 3, std::max(2, size / 7));
    dc.SelectObject(wxNullBitmap);
    return bitmap;
}

WxView::WxView(WxBackend& backend, Dialog& dialog)
    : backend_(backend), dialog_(dialog), handle_(dialog.Handle()) {
    const DialogTemplate& t = dialog.Template();
    detail::WindowState window = DialogAccess::Window(dialog);
    WxView* owner = window.owner ? backend.ViewOf(window.owner) : nullptr;
    long style = 0;
    if (t.styles & kDialogCaption) style |= wxCAPTION;
    if (t.styles & kDialogSysMenu) style |= wxSYSTEM_MENU | wxCLOSE_BOX;
    if (t.styles & kDialogMinimizeBox) style |= wxMINIMIZE_BOX;
    shell_ = new wxDialog(owner ? wxGetTopLevelParent(owner->Outer()) : nullptr, wxID_ANY,
                          ToWx(window.title), wxDefaultPosition, wxDefaultSize, style);
    panel_ = new wxPanel(shell_, wxID_ANY);
    wxFont font = DialogFont(t);
    shell_->SetFont(font);
    panel_->SetFont(font);
    ApplyCompactStyle(panel_);
    // The kit's pixel is the screen pixel scaled by the dialog font's actual base units.
    wxSize base = panel_->ConvertDialogToPixels(wxSize(4 * 100, 8 * 100));
    scaleX_ = base.x / (100.0 * detail::kBaseUnitX);
    scaleY_ = base.y / (100.0 * detail::kBaseUnitY);
    wxSize client = panel_->ConvertDialogToPixels(wxSize(t.width, t.height));
    shell_->SetClientSize(client);
    panel_->SetSize(client);
    for (const ControlState& state : DialogAccess::Controls(dialog)) CreateControl(state);

    WindowHandle handle = handle_;
    shell_->Bind(wxEVT_CLOSE_WINDOW, [handle](wxCloseEvent& event) {
        if (!event.CanVeto()) {
            event.Skip();
            return;
        }
        event.Veto();
        Deliver(handle, [](Dialog& d) { DialogAccess::CloseRequested(d); });
    });
    wxDialog* shell = shell_;
    shell_->Bind(wxEVT_CHAR_HOOK, [handle, shell](wxKeyEvent& event) {
        if (event.GetKeyCode() != WXK_ESCAPE) {
            event.Skip();
            return;
        }
        // A window shown over another may get its keys as the control focused in the window
        // before it (GTK had not yet moved its focus): Esc is the window's that has the focus.
        wxWindow* focus = wxWindow::FindFocus();
        wxWindow* top = focus != nullptr ? wxGetTopLevelParent(focus) : nullptr;
        if (top != nullptr && top != shell) {
            wxKeyEvent forwarded(event);
            forwarded.SetEventObject(focus);
            top->GetEventHandler()->ProcessEvent(forwarded);
            return;
        }
        Deliver(handle, [](Dialog& d) { DialogAccess::Command(d, kIdCancel, Notify::Clicked); });
    });
    auto moved = [handle](wxEvent& event) {
        event.Skip();
        Deliver(handle, [](Dialog& d) {
            if (WxView* view = ViewFor(d)) view->ReportGeometry();
        });
    };
    shell_->Bind(wxEVT_MOVE, moved);
    shell_->Bind(wxEVT_SIZE, moved);
    panel_->Bind(wxEVT_CONTEXT_MENU, [handle](wxContextMenuEvent&) {
        Deliver(handle, [](Dialog& d) {
            if (WxView* view = ViewFor(d)) view->ShowSystemMenu();
        });
    });
    ReportGeometry();
}

WxView::~WxView() {
    // Windows shown inside this one go back to their own shells first.
    detail::KitState& kit = backend_.kit();
    for (WindowHandle other : kit.registry.Handles()) {
        WxView* guest = backend_.ViewOf(other);
        if (guest != nullptr && guest != this && guest->Host() == handle_) guest->Reparent({});
    }
    if (host_) panel_->Reparent(shell_);
    shell_->Hide();
    shell_->Destroy();  // deferred; the panel and the controls go with it
}

Rect WxView::ToPixels(const Rect& r) const {
    return detail::DialogUnitsToPixels(r);
}

Rect WxView::ToDevice(const Rect& r) const {
    return Rect{static_cast<int>(std::lround(r.x * scaleX_)),
                static_cast<int>(std::lround(r.y * scaleY_)),
                static_cast<int>(std::lround(r.width * scaleX_)),
                static_cast<int>(std::lround(r.height * scaleY_))};
}

Rect WxView::ToLogical(int x, int y, int width, int height) const {
    return Rect{static_cast<int>(std::lround(x / scaleX_)),
                static_cast<int>(std::lround(y / scaleY_)),
                static_cast<int>(std::lround(width / scaleX_)),
                static_cast<int>(std::lround(height / scaleY_))};
}

wxWindow* WxView::Outer() const {
    return host_ ? static_cast<wxWindow*>(panel_) : shell_;
}

wxWindow* WxView::Control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

void WxView::CreateControl(const ControlState& state) {
    const ControlTemplate& c = state.control;
    const int id = c.id;
    const WindowHandle handle = handle_;
    wxPoint at = panel_->ConvertDialogToPixels(wxPoint(c.rect.x, c.rect.y));
    wxSize size = panel_->ConvertDialogToPixels(wxSize(c.rect.width, c.rect.height));
    wxString text = ToWx(state.text);
    wxWindow* window = nullptr;
    switch (c.kind) {
        case ControlKind::PushButton: {
            auto* button = new wxButton(panel_, wxID_ANY, text, at, size);
            if (c.styles & kStyleDefault) button->SetDefault();
            button->Bind(wxEVT_BUTTON, [handle, id](wxCommandEvent&) {
                Deliver(handle, [id](Dialog& d) { DialogAccess::Clicked(d, id); });
            });
            window = button;
            break;
        }
        case ControlKind::CheckBox: {
            auto* box = new wxCheckBox(panel_, wxID_ANY, text, at, size);
            box->Bind(wxEVT_CHECKBOX, [handle, id](wxCommandEvent& event) {
                bool checked = event.IsChecked();
                Deliver(handle,
                        [id, checked](Dialog& d) { DialogAccess::Checked(d, id, checked); });
            });
            window = box;
            break;
        }
        case ControlKind::RadioButton: {
            long style = FirstOfRadioGroup(dialog_.Template(), id) ? wxRB_GROUP : 0;
            auto* radio = new wxRadioButton(panel_, wxID_ANY, text, at, size, style);
            radio->Bind(wxEVT_RADIOBUTTON, [handle, id](wxCommandEvent&) {
                Deliver(handle, [id](Dialog& d) { DialogAccess::Checked(d, id, true); });
            });
            window = radio;
            break;
        }
        case ControlKind::Static: {
            long style = wxST_NO_AUTORESIZE |
                         ((c.styles & kStyleCentre) ? wxALIGN_CENTRE_HORIZONTAL : wxALIGN_LEFT);
            window = new wxStaticText(panel_, wxID_ANY, text, at, size, style);
            break;
        }
        case ControlKind::GroupBox:
            window = new wxStaticBox(panel_, wxID_ANY, text, at, size);
            break;
        case ControlKind::Icon:
            window = new wxStaticBitmap(panel_, wxID_ANY, IconBitmap(c.icon, 32), at, size);
            break;
        case ControlKind::Edit: {
            auto* edit = new wxTextCtrl(panel_, wxID_ANY, text, at, size);
            edit->Bind(wxEVT_TEXT, [handle, id, edit](wxCommandEvent&) {
                std::wstring value = FromWx(edit->GetValue());
                Deliver(handle, [id, &value](Dialog& d) { DialogAccess::Typed(d, id, value); });
            });
            window = edit;
            break;
        }
        case ControlKind::DropDownList: {
            auto* choice = new wxChoice(panel_, wxID_ANY, at, wxSize(size.x, -1));
            choice->Bind(wxEVT_CHOICE, [handle, id](wxCommandEvent& event) {
                int index = event.GetSelection();
                Deliver(handle, [id, index](Dialog& d) { DialogAccess::Chose(d, id, index); });
            });
            window = choice;
            break;
        }
        case ControlKind::DropDownCombo: {
            auto* combo = new wxComboBox(panel_, wxID_ANY, text, at, wxSize(size.x, -1), 0, nullptr,
                                         wxCB_DROPDOWN);
            combo->Bind(wxEVT_COMBOBOX, [handle, id](wxCommandEvent& event) {
                int index = event.GetSelection();
                Deliver(handle, [id, index](Dialog& d) { DialogAccess::Chose(d, id, index); });
            });
            combo->Bind(wxEVT_TEXT, [handle, id, combo](wxCommandEvent&) {
                std::wstring value = FromWx(combo->GetValue());
                Deliver(handle, [id, &value](Dialog& d) { DialogAccess::Typed(d, id, value); });
            });
            window = combo;
            break;
        }
        case ControlKind::ListView: {
            long style = wxLC_REPORT | wxLC_SINGLE_SEL |
                         ((c.styles & kStyleBorder) ? wxBORDER_SUNKEN : wxBORDER_NONE);
            window = new wxListCtrl(panel_, wxID_ANY, at, size, style);
            break;
        }
        case ControlKind::SkyPlot:
            window = new SkyPlotWindow(panel_, at, size);
            break;
        case ControlKind::BarChart:
            window = new BarChartWindow(panel_, at, size);
            break;
    }
    all_.push_back(window);
    if (id != kIdStatic) controls_[id] = window;
    if (state.TakesFocus() && id != kIdStatic) {
        window->Bind(wxEVT_SET_FOCUS, [handle, id](wxFocusEvent& event) {
            event.Skip();
            Deliver(handle, [id](Dialog& d) { DialogAccess::Focused(d, id); });
        });
        window->Bind(wxEVT_KEY_DOWN, [handle, id](wxKeyEvent& event) {
            bool handled = false;
            int key = KeyCode(event);
            Deliver(handle, [&](Dialog& d) { handled = DialogAccess::KeyHook(d, id, key); });
            if (!handled) event.Skip();
        });
    }
    ApplyControl(window, state);
}

void WxView::SyncControl(int id) {
    wxWindow* window = Control(id);
    auto state = DialogAccess::Control(dialog_, id);
    if (window != nullptr && state) ApplyControl(window, *state);
}

void WxView::ApplyControl(wxWindow* window, const ControlState& state) {
    if (window->IsThisEnabled() != state.enabled) {
        window->Enable(state.enabled);
        ApplyTextColour(window, appliedTheme_);
    }
    if (window->IsShown() != state.visible) window->Show(state.visible);
    wxString text = ToWx(state.text);
    switch (state.kind()) {
        case ControlKind::Static:
            if (auto* label = dynamic_cast<wxControl*>(window);
                label != nullptr && (state.control.styles & kStyleNoPrefix)) {
                if (label->GetLabelText() != text) label->SetLabelText(text);
                break;
            }
            [[fallthrough]];
        case ControlKind::PushButton:
        case ControlKind::GroupBox:
            if (window->GetLabel() != text) window->SetLabel(text);
            break;
        case ControlKind::CheckBox: {
            auto* box = static_cast<wxCheckBox*>(window);
            if (box->GetLabel() != text) box->SetLabel(text);
            if (box->GetValue() != state.checked) box->SetValue(state.checked);
            break;
        }
        case ControlKind::RadioButton: {
            auto* radio = static_cast<wxRadioButton*>(window);
            if (radio->GetLabel() != text) radio->SetLabel(text);
            // A native group always keeps one button on; clearing one shows no change.
            if (state.checked && !radio->GetValue()) radio->SetValue(true);
            break;
        }
        case ControlKind::Edit: {
            auto* edit = static_cast<wxTextCtrl*>(window);
            if (edit->GetValue() != text) edit->ChangeValue(text);
            break;
        }
        case ControlKind::DropDownList:
        case ControlKind::DropDownCombo: {
            auto* items = dynamic_cast<wxItemContainer*>(window);
            bool same = items->GetCount() == state.items.size();
            for (size_t i = 0; same && i < state.items.size(); ++i) {
                same = items->GetString(static_cast<unsigned>(i)) == ToWx(state.items[i]);
            }
            if (!same) {
                wxArrayString strings;
                for (const auto& item : state.items) strings.Add(ToWx(item));
                items->Set(strings);
            }
            if (state.kind() == ControlKind::DropDownList) {
                auto* choice = static_cast<wxChoice*>(window);
                if (choice->GetSelection() != state.selection)
                    choice->SetSelection(state.selection);
            } else {
                auto* combo = static_cast<wxComboBox*>(window);
                if (state.selection >= 0 && combo->GetSelection() != state.selection) {
                    combo->SetSelection(state.selection);
                }
                if (combo->GetValue() != text) combo->ChangeValue(text);
            }
            break;
        }
        case ControlKind::ListView:
            ApplyList(static_cast<wxListCtrl*>(window), state);
            break;
        case ControlKind::SkyPlot:
            static_cast<SkyPlotWindow*>(window)->SetChart(state.marks, state.legend);
            break;
        case ControlKind::BarChart:
            static_cast<BarChartWindow*>(window)->SetChart(state.bars, state.fullScale);
            break;
        case ControlKind::Icon:
            break;
    }
}

void WxView::ApplyList(wxListCtrl* list, const ControlState& state) {
    bool grid = (state.extendedStyle & kListGridLines) != 0;
    if (list->HasFlag(wxLC_HRULES) != grid) {
        list->SetSingleStyle(wxLC_HRULES, grid);
        list->SetSingleStyle(wxLC_VRULES, grid);
    }
    auto& applied = appliedColumns_[state.id()];
    if (applied != state.columns) {
        list->DeleteAllItems();
        list->DeleteAllColumns();
        for (size_t i = 0; i < state.columns.size(); ++i) {
            const ListColumn& column = state.columns[i];
            list->InsertColumn(static_cast<long>(i), ToWx(column.text), Format(column.align),
                               static_cast<int>(std::lround(column.width * scaleX_)));
        }
        applied = state.columns;
    }
    if (state.columns.empty()) return;  // a report view shows no rows without columns
    long rows = static_cast<long>(state.rows.size());
    while (list->GetItemCount() > rows) list->DeleteItem(list->GetItemCount() - 1);
    while (list->GetItemCount() < rows) list->InsertItem(list->GetItemCount(), wxEmptyString);
    for (long r = 0; r < rows; ++r) {
        const auto& cells = state.rows[r];
        for (size_t col = 0; col < state.columns.size(); ++col) {
            wxString text = col < cells.size() ? ToWx(cells[col]) : wxString();
            if (list->GetItemText(r, static_cast<int>(col)) != text) {
                list->SetItem(r, static_cast<int>(col), text);
            }
        }
    }
}

void WxView::SyncWindow() {
    detail::WindowState window = DialogAccess::Window(dialog_);
    wxString title = ToWx(window.title);
    if (shell_->GetTitle() != title) shell_->SetTitle(title);
    if (window.bigIcon != appliedBig_ || window.smallIcon != appliedSmall_) {
        wxIconBundle icons;
        for (auto [icon, size] : {std::pair{window.smallIcon, 16}, {window.bigIcon, 32}}) {
            if (!icon) continue;
            wxIcon native;
            native.CopyFromBitmap(IconBitmap(icon.resource, size));
            icons.AddIcon(native);
        }
        shell_->SetIcons(icons);
        appliedBig_ = window.bigIcon;
        appliedSmall_ = window.smallIcon;
    }
    if (window.parent != host_) Reparent(window.parent);
    if (Outer()->IsEnabled() != window.enabled) Outer()->Enable(window.enabled);
    if (window.rect != applied_) {
        Rect device = ToDevice(window.rect);
        Outer()->SetSize(device.x, device.y, device.width, device.height);
        placed_ = true;
        ReportGeometry();
    }
    if (host_) {
        if (panel_->IsShown() != window.visible) panel_->Show(window.visible);
    } else if (!modal_ && shell_->IsShown() != window.visible) {
        if (window.visible && !placed_) {
            shell_->CentreOnParent();
            placed_ = true;
        }
        shell_->Show(window.visible);
        ReportGeometry();
    }
    if (window.theme != appliedTheme_) ApplyTheme(window.theme);
}

void WxView::Reparent(WindowHandle parent) {
    WxView* host = parent ? backend_.ViewOf(parent) : nullptr;
    if (parent && host == nullptr) return;
    bool visible = DialogAccess::Window(dialog_).visible;
    if (host != nullptr) {
        shell_->Hide();
        panel_->Reparent(host->Panel());
        panel_->Show(visible);
        host_ = parent;
    } else {
        panel_->Reparent(shell_);
        panel_->SetPosition(wxPoint(0, 0));
        panel_->SetSize(shell_->GetClientSize());
        panel_->Show();
        host_ = WindowHandle{};
        shell_->Show(visible);
    }
    ReportGeometry();
}

void WxView::ReportGeometry() {
    wxRect r = Outer()->GetRect();
    applied_ = ToLogical(r.x, r.y, r.width, r.height);
    DialogAccess::Moved(dialog_, applied_);
}

void WxView::Focus(int id) {
    if (wxWindow* window = Control(id)) window->SetFocus();
}

void WxView::RunModal() {
    modal_ = true;
    if (!placed_) {
        shell_->CentreOnParent();
        placed_ = true;
    }
    // Shown before the modal loop starts: wx may run queued work on the way into ShowModal,
    // and handlers that run then should find the window on screen.
    shell_->Show();
    ReportGeometry();
    shell_->ShowModal();
    modal_ = false;
}

void WxView::EndModal() {
    if (shell_->IsModal()) shell_->EndModal(wxID_CANCEL);
}

void WxView::Center() {
    Outer()->CentreOnParent();
    placed_ = true;
    ReportGeometry();
}

void WxView::Raise() {
    wxGetTopLevelParent(Outer())->Raise();
}

void WxView::Invalidate() {
    Outer()->Refresh(true);
}

void WxView::ShowSystemMenu() {
    std::vector<SystemMenuItem> items = dialog_.SystemMenu();
    if (items.empty()) return;
    wxMenu menu;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].command == 0) {
            menu.AppendSeparator();
        } else if (items[i].checkable) {
            int id = wxID_HIGHEST + 1 + static_cast<int>(i);
            menu.AppendCheckItem(id, ToWx(items[i].text));
            menu.Check(id, items[i].checked);
        } else {
            menu.Append(wxID_HIGHEST + 1 + static_cast<int>(i), ToWx(items[i].text));
        }
    }
    int chosen = panel_->GetPopupMenuSelectionFromUser(menu);
    int index = chosen - wxID_HIGHEST - 1;
    if (chosen != wxID_NONE && index >= 0 && static_cast<size_t>(index) < items.size()) {
        DialogAccess::SysCommand(dialog_, items[index].command);
    }
}

void WxView::ApplyTheme(const Theme& theme) {
    wxFont font = DialogFont(dialog_.Template());
    if (!theme.fontFace.empty()) font.SetFaceName(ToWx(theme.fontFace));
    if (theme.fontSize > 0) font.SetPointSize(theme.fontSize);
    panel_->SetBackgroundColour(theme.background >= 0 ? Colour(theme.background) : wxNullColour);
    for (wxWindow* window : all_) {
        window->SetFont(font);
        ApplyTextColour(window, theme);
    }
    panel_->Refresh();
    appliedTheme_ = theme;
}

void WxView::ApplyTextColour(wxWindow* window, const Theme& theme) {
    // A colour given to a control holds in every state of it: on a disabled control it would
    // hide the toolkit's disabled look, so a disabled control keeps the toolkit's colours.
    bool skinned = theme.text >= 0 && window->IsThisEnabled();
    window->SetForegroundColour(skinned ? Colour(theme.text) : wxNullColour);
}

bool ScreenshotOf(WindowHandle window, const std::string& pngPath) {
    WxBackend* backend = Running();
    WxView* view = backend ? backend->ViewOf(window) : nullptr;
    if (view == nullptr) return false;
    wxWindow* panel = view->Panel();
    if (!PumpUntil([&] { return panel->IsShownOnScreen(); })) return false;
    // Let the window system map and expose the window, then paint everything now.
    auto settled = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
    PumpUntil([&] { return std::chrono::steady_clock::now() >= settled; });
    wxGetTopLevelParent(panel)->Refresh();
    wxGetTopLevelParent(panel)->Update();
    ProcessPendingWork();
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(pngPath).parent_path(), ignored);
    view = backend->ViewOf(window);
    if (view == nullptr || !view->Panel()->IsShownOnScreen()) return false;
    view->Panel()->Update();
    wxRect area = view->Panel()->GetScreenRect();
    if (area.width <= 0 || area.height <= 0) return false;
    wxBitmap bitmap(area.width, area.height, 24);
    {
        wxScreenDC screen;
        ForgetScreenSnapshot(screen);
        wxMemoryDC memory(bitmap);
        if (!memory.Blit(0, 0, area.width, area.height, &screen, area.x, area.y)) return false;
    }
    return bitmap.SaveFile(wxString::FromUTF8(pngPath.c_str()), wxBITMAP_TYPE_PNG);
}

}  // namespace ui::wxkit
