// GPS dialog doubles: one that does nothing, one that records what the plug-in object asks.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "orbitpane/win32/gps_dialog_instance.h"
#include "orbitpane/win32/plugin_context.h"

namespace orbitpane_test {

using DialogMaker =
    std::function<std::unique_ptr<orbitpane::IGpsDialog>(orbitpane::PluginContext&)>;

// A plug-in object's seams whose dialog comes from `make` when the test has set it by the
// time the dialog is made, and is the real one otherwise.
inline orbitpane::PluginSeams DialogSeams(const DialogMaker& make) {
    orbitpane::PluginSeams seams;
    seams.dialogFactory = [&make](orbitpane::PluginContext& context) {
        return make ? make(context) : orbitpane::MakeGpsDialog(context);
    };
    return seams;
}

struct DialogLog {
    std::vector<std::string> calls;
    COrbitpaneImpl* plugin = nullptr;
    void* lastRecord = nullptr;
    int destroyed = 0;
};

// Has a window and does nothing; a test overrides what it looks at.
class QuietDialog : public orbitpane::IGpsDialog {
  public:
    bool HasWindow() override { return true; }
    void Reparent(framework::WindowHandle) override {}
    void MoveWindow(int, int, int, int) override {}
    void ShowWindow() override {}
    void HideWindow() override {}
    void DestroyWindow() override {}
    void SetPluginObject(COrbitpaneImpl*) override {}
    int RunModal() override { return 0; }
    void SendGpsData(void*) override {}
};

class FakeDialog : public orbitpane::IGpsDialog {
  public:
    FakeDialog(DialogLog& log, bool hasWindow, bool throwing)
        : log_(log), hasWindow_(hasWindow), throwing_(throwing) {}
    ~FakeDialog() override { ++log_.destroyed; }

    bool HasWindow() override { return hasWindow_; }
    void Reparent(framework::WindowHandle) override { Note("reparent"); }
    void MoveWindow(int x, int y, int w, int h) override {
        Note("move " + std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(w) + "," +
             std::to_string(h));
    }
    void ShowWindow() override { Note("show"); }
    void HideWindow() override { Note("hide"); }
    void DestroyWindow() override {
        Note("destroy-window");
        hasWindow_ = false;
    }
    void SetPluginObject(COrbitpaneImpl* plugin) override {
        Note("set-plugin");
        log_.plugin = plugin;
    }
    int RunModal() override {
        Note("modal");
        hasWindow_ = true;
        return 7;
    }
    void SendGpsData(void* record) override {
        Note("gps-data");
        log_.lastRecord = record;
    }

  private:
    void Note(const std::string& what) {
        if (throwing_) throw std::runtime_error(what);
        log_.calls.push_back(what);
    }
    DialogLog& log_;
    bool hasWindow_;
    bool throwing_;
};

}  // namespace orbitpane_test
