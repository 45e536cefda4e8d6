// The user's input through the headless driver, and the dialogs the system shows for a
// dialog (message boxes, the file-open dialog, the system menu).
#include <gtest/gtest.h>

#include <atomic>

#include "headless_ui.h"
#include "platform/ui/headless/driver.h"
#include "platform/ui/kit.h"
#include "probe_dialog.h"

using namespace ui;
using headless::Driver;
using probe::Probe;

namespace {

// A shown probe dialog whose command handlers record themselves.
class Shown : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int id : {probe::kButton, probe::kDisabled, probe::kCheck, probe::kRadioA,
                       probe::kRadioB, kIdOk}) {
            dialog.OnClicked(id, [this, id] { dialog.Record("click " + std::to_string(id)); });
        }
        dialog.OnSelectionChanged(probe::kCombo, [this] {
            dialog.Record("chose " + Narrow(dialog.Combo(probe::kCombo).CurrentText()));
        });
        dialog.OnCommand(probe::kEdit, Notify::EditChanged, [this] {
            dialog.Record("typed " + Narrow(dialog.ItemText(probe::kEdit)));
        });
        ASSERT_TRUE(dialog.Create());
        ASSERT_TRUE(dialog.ShowWindow(ShowCommand::Normal));
        dialog.Clear();
        headless::ClearRecords();
    }
    static std::string Narrow(const std::wstring& text) {
        return std::string(text.begin(), text.end());
    }
    std::vector<std::string> Events() const { return dialog.Events(); }
    Driver User() const { return Driver(dialog.Handle()); }

    Probe dialog;
};

}  // namespace

TEST_F(Shown, ClickRunsTheHandlerOnceAndMovesTheFocus) {
    EXPECT_TRUE(User().Click(probe::kButton));
    EXPECT_EQ(Events(), (std::vector<std::string>{"click 10"}));
    EXPECT_EQ(User().Focused(), probe::kButton);
}

TEST_F(Shown, TheUserCannotReachDisabledHiddenOrInertControls) {
    EXPECT_FALSE(User().Click(probe::kDisabled));
    EXPECT_FALSE(User().Click(probe::kLabel)) << "a label takes no click";
    EXPECT_FALSE(User().Click(4242));
    dialog.ShowItem(probe::kButton, false);
    EXPECT_FALSE(User().Click(probe::kButton));
    dialog.ShowItem(probe::kButton, true);
    dialog.EnableWindow(false);
    EXPECT_FALSE(User().Click(probe::kButton)) << "a disabled window takes no input";
    EXPECT_FALSE(User().Close());
    dialog.EnableWindow(true);
    dialog.ShowWindow(ShowCommand::Hide);
    EXPECT_FALSE(User().Click(probe::kButton)) << "nor does a hidden one";
    EXPECT_TRUE(Events().empty());
}

TEST_F(Shown, ChecksToggleAndRadioButtonsClearTheirGroup) {
    EXPECT_TRUE(User().Click(probe::kCheck));
    EXPECT_TRUE(User().Checked(probe::kCheck));
    EXPECT_TRUE(User().SetChecked(probe::kCheck, true)) << "already checked: no click";
    EXPECT_TRUE(User().SetChecked(probe::kCheck, false));
    EXPECT_FALSE(User().Checked(probe::kCheck));

    EXPECT_TRUE(User().Click(probe::kRadioA));
    EXPECT_TRUE(User().Click(probe::kRadioB));
    EXPECT_FALSE(User().Checked(probe::kRadioA));
    EXPECT_TRUE(User().Checked(probe::kRadioB));
    EXPECT_FALSE(User().SetChecked(probe::kRadioB, false)) << "a click never clears a radio button";
    EXPECT_EQ(Events(), (std::vector<std::string>{"click 12", "click 12", "click 13", "click 14"}));
}

TEST_F(Shown, ChoosingAndTypingInComboBoxesAndEdits) {
    dialog.Combo(probe::kCombo).AddString(L"google");
    dialog.Combo(probe::kCombo).AddString(L"yahoo");
    EXPECT_TRUE(User().Choose(probe::kCombo, L"yahoo"));
    EXPECT_EQ(User().ComboSelection(probe::kCombo), 1);
    EXPECT_FALSE(User().Choose(probe::kCombo, 2));
    EXPECT_FALSE(User().Choose(probe::kCombo, L"bing"));

    EXPECT_TRUE(User().Type(probe::kCombo, L"my map"));
    EXPECT_EQ(dialog.Combo(probe::kCombo).CurrentText(), L"my map") << "what the user typed";
    EXPECT_EQ(dialog.Combo(probe::kCombo).GetCurSel(), -1);
    EXPECT_TRUE(User().Type(probe::kCombo, L"google"));
    EXPECT_EQ(dialog.Combo(probe::kCombo).GetCurSel(), 0) << "typing an item's text finds it";

    EXPECT_TRUE(User().Type(probe::kEdit, L"APN.example"));
    EXPECT_EQ(User().Focused(), probe::kEdit);
    EXPECT_FALSE(User().Type(probe::kLabel, L"x"));
    EXPECT_FALSE(User().Type(probe::kList, L"x")) << "a drop-down list has no edit field";
    EXPECT_EQ(Events(), (std::vector<std::string>{"chose yahoo", "typed APN.example"}));
}

TEST_F(Shown, KeyHookSeesEnterBeforeTheDialogDoes) {
    std::atomic<int> hooked = 0;
    dialog.SetKeyHook(probe::kEdit, [&](int key) {
        ++hooked;
        if (key != kKeyEnter) return false;
        dialog.Record("run program");
        dialog.SetFocus(probe::kButton);
        return true;
    });
    EXPECT_TRUE(User().PressEnter(probe::kEdit));
    EXPECT_EQ(Events(), (std::vector<std::string>{"run program"})) << "the default button stays";
    EXPECT_EQ(User().Focused(), probe::kButton);
    EXPECT_TRUE(User().PressKey(probe::kEdit, 'a'));
    EXPECT_EQ(hooked, 2);
    EXPECT_EQ(Events().size(), 1u);
}

TEST_F(Shown, UnhookedEnterClicksTheFocusedOrDefaultButtonAndEscapeCancels) {
    EXPECT_TRUE(User().PressEnter(probe::kCheck));
    EXPECT_TRUE(User().PressEnter(probe::kButton));
    EXPECT_EQ(Events(), (std::vector<std::string>{"click 1", "click 10"}));
    EXPECT_TRUE(User().PressKey(probe::kEdit, kKeyEscape));
    EXPECT_FALSE(User().WindowVisible()) << "Cancel ends a modeless dialog by hiding it";
    EXPECT_TRUE(dialog.HasWindow());
}

TEST_F(Shown, CloseAsksTheDialogWhichDestroysAModelessWindowByDefault) {
    dialog.recordCloseOnly = true;
    EXPECT_TRUE(User().Close());
    EXPECT_TRUE(dialog.HasWindow());
    dialog.recordCloseOnly = false;
    EXPECT_TRUE(User().Close());
    EXPECT_FALSE(dialog.HasWindow());
    EXPECT_EQ(Events(), (std::vector<std::string>{"close", "close", "destroy"}));
    EXPECT_FALSE(User().Alive());
}

TEST_F(Shown, SystemMenuEntriesReachOnSysCommand) {
    dialog.AppendSystemMenuSeparator();
    dialog.AppendSystemMenuItem(16, L"\u5173\u4e8e Startup(&A)...");
    EXPECT_TRUE(User().ChooseSystemMenu(16));
    EXPECT_FALSE(User().ChooseSystemMenu(17));
    EXPECT_FALSE(User().ChooseSystemMenu(0)) << "a separator is no command";
    EXPECT_EQ(Events(), (std::vector<std::string>{"sys 16"}));
}

TEST_F(Shown, MessageBoxesAreRecordedAndAnsweredFromTheScript) {
    std::atomic<int> answers[2] = {0, 0};
    dialog.OnClicked(probe::kButton, [&] {
        answers[0] = dialog.ShowMessageBox(L"Querying Data Card...", L"Message");
        answers[1] = dialog.ShowMessageBox(L"Sure?", L"Question", kMbYesNo);
    });
    EXPECT_TRUE(User().Click(probe::kButton));
    EXPECT_EQ(answers[0], kIdOk);
    EXPECT_EQ(answers[1], kIdYes) << "unscripted: the first button";

    headless::ScriptMessageBoxAnswer(kIdCancel);
    EXPECT_TRUE(User().Click(probe::kButton));
    EXPECT_EQ(answers[0], kIdCancel);
    auto boxes = headless::MessageBoxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].text, L"Querying Data Card...");
    EXPECT_EQ(boxes[0].caption, L"Message");
    EXPECT_EQ(boxes[0].owner, dialog.Handle());
    EXPECT_EQ(boxes[1].style, kMbYesNo);
}

TEST_F(Shown, FileDialogRequestsAreRecordedAndAnsweredFromTheScript) {
    std::optional<std::wstring> chosen = L"unset";
    dialog.OnClicked(probe::kButton, [&] {
        chosen = OpenFileDialog(FileDialogRequest{WindowHandle{}, L"EXE File|*.exe||", L"*.exe",
                                                  L"", kFileHideReadOnly | kFileOverwritePrompt});
    });
    EXPECT_TRUE(User().Click(probe::kButton));
    EXPECT_EQ(chosen, std::nullopt) << "unscripted: cancelled";
    headless::ScriptFileDialogAnswer(L"/opt/tools/\u5730\u56f3.exe");
    EXPECT_TRUE(User().Click(probe::kButton));
    EXPECT_EQ(chosen, L"/opt/tools/\u5730\u56f3.exe");
    auto requests = headless::FileDialogs();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].filter, L"EXE File|*.exe||");
    EXPECT_EQ(requests[0].defaultExtension, L"*.exe");
    EXPECT_EQ(requests[0].flags, kFileHideReadOnly | kFileOverwritePrompt);
}
