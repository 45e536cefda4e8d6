// A dialog shown with wxWidgets: a top-level wxDialog holding a panel with the native
// controls. Re-parenting moves the panel into the other window's panel and hides the
// top-level shell; it moves back when the window becomes top-level again.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <wx/string.h>

#include "platform/ui/detail/access.h"
#include "platform/ui/detail/backend.h"

class wxBitmap;
class wxDialog;
class wxListCtrl;
class wxPanel;
class wxWindow;

namespace ui::wxkit {

class WxBackend;

inline wxString ToWx(const std::wstring& text) {
    return wxString(text.c_str(), text.size());
}
inline std::wstring FromWx(const wxString& text) {
    return text.ToStdWstring();
}

// An icon's image: "<program dir>/icons/<resource>.png" when there is one, else a drawn one.
wxBitmap IconBitmap(int resource, int size);

class WxView : public detail::View {
  public:
    WxView(WxBackend& backend, Dialog& dialog);
    ~WxView() override;

    Rect ToPixels(const Rect& dialogUnits) const override;
    bool Shows() const override { return true; }
    void SyncControl(int id) override;
    void SyncWindow() override;
    void Focus(int id) override;
    void RunModal() override;
    void EndModal() override;
    void Center() override;
    void Raise() override;
    void Invalidate() override;

    wxWindow* Outer() const;
    wxPanel* Panel() const { return panel_; }
    wxWindow* Control(int id) const;
    WindowHandle Host() const { return host_; }
    // Moves the panel into `parent`'s panel, or back into the shell for the empty handle.
    void Reparent(WindowHandle parent);
    void ReportGeometry();
    void ShowSystemMenu();

  private:
    void CreateControl(const detail::ControlState& state);
    void ApplyControl(wxWindow* window, const detail::ControlState& state);
    void ApplyList(wxListCtrl* list, const detail::ControlState& state);
    void ApplyTheme(const Theme& theme);
    void ApplyTextColour(wxWindow* window, const Theme& theme);
    // The kit's pixels (see detail/units.h) to the screen's and back.
    Rect ToDevice(const Rect& r) const;
    Rect ToLogical(int x, int y, int width, int height) const;

    WxBackend& backend_;
    Dialog& dialog_;
    WindowHandle handle_;
    wxDialog* shell_ = nullptr;
    wxPanel* panel_ = nullptr;
    std::map<int, wxWindow*> controls_;
    std::vector<wxWindow*> all_;  // every control, addressed or not, in template order
    std::map<int, std::vector<ListColumn>> appliedColumns_;
    WindowHandle host_;
    Rect applied_{-1, -1, -1, -1};
    double scaleX_ = 1.0;
    double scaleY_ = 1.0;
    bool placed_ = false;  // moved or centred explicitly
    bool modal_ = false;
    Theme appliedTheme_;
    Icon appliedBig_;
    Icon appliedSmall_;
};

}  // namespace ui::wxkit
