// A dialog with a control of every kind that records what reaches its handlers.
#pragma once

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"

namespace probe {

inline constexpr int kTemplateId = 900;
inline constexpr int kButton = 10;
inline constexpr int kDisabled = 11;
inline constexpr int kCheck = 12;
inline constexpr int kRadioA = 13;
inline constexpr int kRadioB = 14;
inline constexpr int kRadioC = 15;  // a group of its own
inline constexpr int kLabel = 16;
inline constexpr int kEdit = 17;
inline constexpr int kList = 18;
inline constexpr int kCombo = 19;
inline constexpr int kListView = 20;
inline constexpr int kHidden = 21;

inline ui::DialogTemplate Template(std::uint32_t styles = ui::kDialogCaption | ui::kDialogSysMenu) {
    using K = ui::ControlKind;
    return ui::DialogTemplate{
        kTemplateId,
        L"Probe",
        200,
        120,
        L"MS Shell Dlg",
        8,
        styles,
        {
            {kLabel, K::Static, L"Label", {5, 5, 60, 8}, 0},
            {kButton, K::PushButton, L"Go", {5, 20, 40, 14}, ui::kStyleGroup},
            {kDisabled, K::PushButton, L"Off", {50, 20, 40, 14}, ui::kStyleDisabled},
            {ui::kIdOk, K::PushButton, L"OK", {95, 20, 40, 14}, ui::kStyleDefault},
            {kCheck, K::CheckBox, L"Check", {5, 40, 60, 10}, ui::kStyleGroup},
            {kRadioA, K::RadioButton, L"A", {70, 40, 30, 10}, ui::kStyleGroup},
            {kRadioB, K::RadioButton, L"B", {100, 40, 30, 10}, 0},
            {kRadioC, K::RadioButton, L"C", {130, 40, 30, 10}, ui::kStyleGroup},
            {kEdit, K::Edit, L"", {5, 55, 80, 12}, ui::kStyleAutoHScroll},
            {kList, K::DropDownList, L"", {90, 55, 50, 60}, 0},
            {kCombo, K::DropDownCombo, L"", {145, 55, 50, 60}, 0},
            {kListView, K::ListView, L"", {5, 70, 190, 40}, ui::kStyleBorder},
            {kHidden, K::Static, L"Hidden", {5, 112, 60, 8}, ui::kStyleHidden},
        },
    };
}

class Probe : public ui::Dialog {
  public:
    explicit Probe(ui::DialogTemplate t = probe::Template()) : Dialog(std::move(t)) {}
    ~Probe() override { DestroyWindow(); }

    void Record(std::string event) {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(std::move(event));
        threads_.push_back(std::this_thread::get_id());
    }
    std::vector<std::string> Events() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    std::vector<std::thread::id> Threads() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return threads_;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.clear();
        threads_.clear();
    }

    int createResult = 0;
    bool initResult = true;
    bool recordCloseOnly = false;  // OnClose records and does nothing else

  protected:
    int OnCreate() override {
        Record("create");
        return createResult;
    }
    bool OnInitDialog() override {
        Record("init");
        return initResult;
    }
    void OnClose() override {
        Record("close");
        if (!recordCloseOnly) Dialog::OnClose();
    }
    void OnTimer(unsigned id) override { Record("timer " + std::to_string(id)); }
    ui::LResult OnPowerBroadcast(unsigned event, ui::LParam) override {
        Record("power " + std::to_string(event));
        return 1;
    }
    void OnSysCommand(unsigned command) override { Record("sys " + std::to_string(command)); }
    void OnDestroy() override { Record("destroy"); }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> events_;
    std::vector<std::thread::id> threads_;
};

}  // namespace probe
