// The wx back end under a real (virtual) display: the gallery's GPS dialog as native
// windows, clicked through the native controls, read back from the kit and from wx, and
// saved as screenshots in <build>/screenshots.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/image.h>
#include <wx/listctrl.h>
#include <wx/panel.h>
#include <wx/stattext.h>
#include <wx/thread.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "gallery_dialog.h"
#include "platform/ui/controls.h"
#include "platform/ui/kit.h"
#include "platform/ui/templates/gps.h"
#include "platform/ui/wx_native.h"
#include "temp_dir.h"
#include "wx_ui.h"

using namespace ui;
namespace gps = ui::templates::gps;
namespace settings = ui::templates::settings;

namespace {

template <typename T>
T* Native(const Dialog& dialog, int id) {
    return dynamic_cast<T*>(wxkit::NativeControl(dialog.Handle(), id));
}

// What a user's click makes the native control send.
void ClickNative(wxWindow* control, wxEventType type) {
    wxCommandEvent click(type, control->GetId());
    click.SetEventObject(control);
    if (auto* choice = dynamic_cast<wxChoice*>(control)) click.SetInt(choice->GetSelection());
    control->ProcessWindowEvent(click);
}

// What GTK draws a control's text with, read from the native widget: the colour (0xRRGGBB)
// in the widget's present state, and whether GTK takes it as insensitive (disabled). The few
// GTK functions come from the toolkit wx has loaded.
struct NativeLook {
    long colour = -1;
    bool insensitive = false;
};

NativeLook LookOf(wxWindow* control) {
    struct Rgba {
        double red, green, blue, alpha;
    };
    auto function = [](const char* name) { return dlsym(RTLD_DEFAULT, name); };
    auto styleContext =
        reinterpret_cast<void* (*)(void*)>(function("gtk_widget_get_style_context"));
    auto contextState = reinterpret_cast<int (*)(void*)>(function("gtk_style_context_get_state"));
    auto colour =
        reinterpret_cast<void (*)(void*, int, Rgba*)>(function("gtk_style_context_get_color"));
    auto sensitive = reinterpret_cast<int (*)(void*)>(function("gtk_widget_is_sensitive"));
    auto binType = reinterpret_cast<unsigned long (*)()>(function("gtk_bin_get_type"));
    auto isA =
        reinterpret_cast<int (*)(void*, unsigned long)>(function("g_type_check_instance_is_a"));
    auto binChild = reinterpret_cast<void* (*)(void*)>(function("gtk_bin_get_child"));
    NativeLook look;
    if (!styleContext || !contextState || !colour || !sensitive || !binType || !isA || !binChild) {
        ADD_FAILURE() << "GTK 3 functions not found";
        return look;
    }
    void* widget = control->GetHandle();
    // A button's text is drawn by the label inside it.
    void* text = isA(widget, binType()) && binChild(widget) ? binChild(widget) : widget;
    void* context = styleContext(text);
    Rgba rgba{};
    colour(context, contextState(context), &rgba);
    auto byte = [](double part) { return static_cast<long>(part * 255.0 + 0.5); };
    look.colour = byte(rgba.red) << 16 | byte(rgba.green) << 8 | byte(rgba.blue);
    look.insensitive = sensitive(text) == 0;
    return look;
}

std::string Screenshot(const std::string& name) {
    return std::string(SCREENSHOT_DIR) + "/" + name;
}

class Gallery : public ::testing::Test {
  protected:
    void SetUp() override {
        if (CurrentBackend() != BackendKind::Wx) GTEST_SKIP() << "no display";
        ASSERT_TRUE(dialog.Create());
        ASSERT_TRUE(dialog.ShowWindow(ShowCommand::Normal));
        ASSERT_TRUE(wxkit::PumpUntil(
            [&] { return wxkit::NativeWindow(dialog.Handle())->IsShownOnScreen(); }));
    }
    gallery::GalleryDialog dialog;
};

}  // namespace

TEST_F(Gallery, ShowsTheTemplateWithNativeControlsAndSavesAScreenshot) {
    auto* start = Native<wxButton>(dialog, gps::kStart);
    auto* stop = Native<wxButton>(dialog, gps::kStop);
    auto* list = Native<wxListCtrl>(dialog, gps::kList);
    auto* language = Native<wxChoice>(dialog, gps::kLanguage);
    auto* sites = Native<wxComboBox>(dialog, gps::kMapSite);
    ASSERT_TRUE(start && stop && list && language && sites);
    EXPECT_EQ(start->GetLabel(), "Start");
    EXPECT_FALSE(stop->IsEnabled());
    EXPECT_FALSE(wxkit::NativeControl(dialog.Handle(), gps::kPath)->IsShown());
    ASSERT_EQ(list->GetItemCount(), 5);
    ASSERT_EQ(list->GetColumnCount(), 2);
    EXPECT_EQ(list->GetItemText(1, 1), "W 122d 7.407360");
    EXPECT_EQ(language->GetStringSelection(), "English");
    EXPECT_EQ(sites->GetValue(), "Google maps (google)");

    // Controls sit where their dialog units put them, scaled to the screen.
    const Rect& units = dialog.Template().Find(gps::kList)->rect;
    EXPECT_EQ(list->GetPosition(),
              list->GetParent()->ConvertDialogToPixels(wxPoint(units.x, units.y)));

    ASSERT_TRUE(ui::wxkit::SaveScreenshot(dialog.Handle(), Screenshot("gallery.png")));
    wxImage image(Screenshot("gallery.png"), wxBITMAP_TYPE_PNG);
    ASSERT_TRUE(image.IsOk());
    EXPECT_EQ(image.GetSize(), wxkit::NativeWindow(dialog.Handle())->GetClientSize());
}

TEST_F(Gallery, ANativeClickRunsTheHandlerAndTheStateReadsBackFromKitAndScreen) {
    auto* start = Native<wxButton>(dialog, gps::kStart);
    auto* stop = Native<wxButton>(dialog, gps::kStop);
    auto* status = Native<wxStaticText>(dialog, gps::kStatus);
    testing_support::TempDir dir;
    ASSERT_TRUE(ui::wxkit::SaveScreenshot(dialog.Handle(), dir / "before.png"));
    ClickNative(start, wxEVT_BUTTON);
    EXPECT_TRUE(dialog.running());
    EXPECT_TRUE(dialog.IsItemEnabled(gps::kStop));
    EXPECT_FALSE(dialog.IsItemEnabled(gps::kStart));
    EXPECT_EQ(dialog.ItemText(gps::kStatus), L"Waiting for GPS data...");
    EXPECT_TRUE(stop->IsEnabled());
    EXPECT_FALSE(start->IsEnabled());
    EXPECT_EQ(status->GetLabel(), "Waiting for GPS data...");
    EXPECT_TRUE(wxkit::NativeControl(dialog.Handle(), gps::kNoDataLabel)->IsShown());
    EXPECT_EQ(Native<wxStaticText>(dialog, gps::kNoDataSeconds)->GetLabel(), "0");

    // The session's wxTimer counts the seconds on the screen.
    EXPECT_TRUE(wxkit::PumpUntil(
        [&] { return Native<wxStaticText>(dialog, gps::kNoDataSeconds)->GetLabel() == "1"; }));
    ASSERT_TRUE(ui::wxkit::SaveScreenshot(dialog.Handle(), Screenshot("gallery_running.png")));
    wxImage before(dir / "before.png", wxBITMAP_TYPE_PNG);
    wxImage after(Screenshot("gallery_running.png"), wxBITMAP_TYPE_PNG);
    ASSERT_TRUE(before.IsOk() && after.IsOk());
    ASSERT_EQ(before.GetSize(), after.GetSize());
    size_t bytes = static_cast<size_t>(before.GetWidth()) * before.GetHeight() * 3;
    EXPECT_NE(std::memcmp(before.GetData(), after.GetData(), bytes), 0)
        << "the screenshot shows the window as it is now";

    ClickNative(stop, wxEVT_BUTTON);
    EXPECT_FALSE(dialog.running());
    EXPECT_TRUE(start->IsEnabled());
    EXPECT_FALSE(wxkit::NativeControl(dialog.Handle(), gps::kNoDataLabel)->IsShown());
}

// The skin's text colour shows on enabled controls only; a disabled control keeps the
// toolkit's disabled look, also when it becomes disabled or enabled after the skin came.
TEST_F(Gallery, TheSkinColoursEnabledControlsAndDisabledOnesLookDisabled) {
    constexpr long kSkinText = 0xC01020;
    Theme theme;
    theme.text = kSkinText;
    ASSERT_TRUE(SetWindowTheme(dialog.Handle(), theme));
    ProcessPendingWork();
    auto* start = Native<wxButton>(dialog, gps::kStart);
    auto* stop = Native<wxButton>(dialog, gps::kStop);
    auto* status = Native<wxStaticText>(dialog, gps::kStatus);
    ASSERT_TRUE(start && stop && status);
    struct Case {
        const char* when;
        bool startEnabled;
    };
    for (const Case& c : {Case{"idle", true}, Case{"running", false}, Case{"stopped", true}}) {
        SCOPED_TRACE(c.when);
        if (std::string(c.when) == "running") ClickNative(start, wxEVT_BUTTON);
        if (std::string(c.when) == "stopped") ClickNative(stop, wxEVT_BUTTON);
        ProcessPendingWork();
        NativeLook enabled = LookOf(c.startEnabled ? start : stop);
        NativeLook disabled = LookOf(c.startEnabled ? stop : start);
        EXPECT_FALSE(enabled.insensitive);
        EXPECT_EQ(enabled.colour, kSkinText);
        EXPECT_TRUE(disabled.insensitive);
        EXPECT_NE(disabled.colour, kSkinText) << "the skin hides the disabled look";
        EXPECT_EQ(LookOf(status).colour, kSkinText);
    }
}

TEST_F(Gallery, WideTextsReachTheNativeControlsUnchanged) {
    auto* language = Native<wxChoice>(dialog, gps::kLanguage);
    language->SetSelection(1);
    ClickNative(language, wxEVT_CHOICE);
    EXPECT_EQ(dialog.language(), gallery::Language::Japanese);
    EXPECT_EQ(Native<wxButton>(dialog, gps::kStart)->GetLabel().ToStdWstring(), L"\u958b\u59cb");
    wxListItem header;
    header.SetMask(wxLIST_MASK_TEXT);
    Native<wxListCtrl>(dialog, gps::kList)->GetColumn(1, header);
    EXPECT_EQ(header.GetText().ToStdWstring(), L"\u5185\u5bb9");
    ASSERT_TRUE(ui::wxkit::SaveScreenshot(dialog.Handle(), Screenshot("gallery_ja.png")));

    language->SetSelection(2);
    ClickNative(language, wxEVT_CHOICE);
    EXPECT_EQ(Native<wxCheckBox>(dialog, gps::kAutoRun)->GetLabel().ToStdWstring(),
              L"Executar automaticamente");
    EXPECT_EQ(Native<wxButton>(dialog, gps::kSetting)->GetLabel().ToStdWstring(),
              L"Configura\u00e7\u00e3o");
}

TEST_F(Gallery, OtherThreadsAreCarriedToTheMainLoop) {
    std::atomic<bool> onMainThread{false};
    dialog.OnMessage(20701, [&](WParam w, LParam) {
        onMainThread = wxIsMainThread();
        return static_cast<LResult>(w) + 1;
    });
    std::atomic<LResult> result{0};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        dialog.SetItemText(gps::kStatus, L"Sat\u00e9lites: 7");
        dialog.List(gps::kList).SetItemText(3, 1, L"9");
        result = dialog.Send(20701, 41);
        done = true;
    });
    auto* status = Native<wxStaticText>(dialog, gps::kStatus);
    EXPECT_TRUE(wxkit::PumpUntil(
        [&] { return done && status->GetLabel().ToStdWstring() == L"Sat\u00e9lites: 7"; }));
    worker.join();
    EXPECT_EQ(result, 42);
    EXPECT_TRUE(onMainThread);
    EXPECT_TRUE(wxkit::PumpUntil(
        [&] { return Native<wxListCtrl>(dialog, gps::kList)->GetItemText(3, 1) == "9"; }));
}

TEST_F(Gallery, AModalRunNestsAnEventLoop) {
    class Settings : public gallery::SettingsDialog {
      public:
        Settings() : SettingsDialog(gallery::Language::Portuguese) {
            OnMessage(1, [this](WParam, LParam) {
                saved = ui::wxkit::SaveScreenshot(Handle(), Screenshot("settings_pt.png"));
                ClickNative(wxkit::NativeControl(Handle(), settings::kCancel), wxEVT_BUTTON);
                return 0;
            });
        }
        bool saved = false;

      protected:
        bool OnInitDialog() override {
            SettingsDialog::OnInitDialog();
            Post(1);  // handled once the modal loop runs
            return true;
        }
    } settingsDialog;
    EXPECT_EQ(settingsDialog.DoModal(dialog.Handle()), kIdCancel);
    EXPECT_TRUE(settingsDialog.saved);
    EXPECT_FALSE(settingsDialog.HasWindow());
    EXPECT_TRUE(dialog.IsWindowEnabled());
}

TEST_F(Gallery, ANativeBoxWhoseCauseHasGoneIsEndedFromOutside) {
    // Asked from inside the box's own loop, until the box is there to be ended.
    int tries = 0;
    bool ended = false;
    dialog.OnMessage(20702, [&](WParam, LParam) {
        ended = EndMessageBox(dialog.Handle(), kIdNo);
        if (!ended && ++tries < 200) dialog.Post(20702);
        return 0;
    });
    dialog.Post(20702);
    EXPECT_EQ(dialog.ShowMessageBox(L"Data card removed", L"Satview", kMbYesNo), kIdNo);
    EXPECT_TRUE(ended);
    EXPECT_FALSE(EndMessageBox(dialog.Handle(), kIdOk)) << "no box is open any more";
}

TEST_F(Gallery, AWindowMovesIntoAnotherAndBack) {
    gallery::SettingsDialog guest(gallery::Language::English);
    ASSERT_TRUE(guest.Create());
    ASSERT_TRUE(guest.SetParent(dialog.Handle()));
    ASSERT_TRUE(guest.MoveWindow(Rect{10, 20, 200, 100}));
    ASSERT_TRUE(guest.ShowWindow(ShowCommand::Normal));
    wxWindow* panel = wxkit::NativeWindow(guest.Handle());
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->GetParent(), wxkit::NativeControl(dialog.Handle(), gps::kList)->GetParent());
    EXPECT_EQ(guest.WindowRect(), (Rect{10, 20, 200, 100}));
    EXPECT_TRUE(panel->IsShown());
    ASSERT_TRUE(guest.SetParent(WindowHandle{}));
    EXPECT_TRUE(wxkit::NativeWindow(guest.Handle())->IsTopLevel());
    ASSERT_TRUE(guest.SetParent(dialog.Handle()));
    dialog.DestroyWindow();  // the guest goes back to its own window first
    EXPECT_TRUE(guest.HasWindow());
    EXPECT_TRUE(guest.DestroyWindow());
}
