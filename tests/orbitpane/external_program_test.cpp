// The external program of the GPS dialog: the typed path, the saved one, the file dialog and
// Enter in the path field.
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "companion_fixture.h"

using namespace orbitpane_test;

namespace {

class ExternalProgram : public CompanionFixture {
  protected:
    void SetUp() override {
        CompanionFixture::SetUp();
        Open();
        // The three controls are hidden for good in the product.
        for (int id : {gps::kPath, gps::kRun, gps::kBrowse}) dialog->ShowItem(id, true);
    }
    // A shell script that leaves "<its path>.ran" behind; `mode` its permissions.
    std::string Script(const std::string& name, mode_t mode = 0755) {
        std::string path = dir.Write(name, "#!/bin/sh\necho ran >> \"$0.ran\"\n");
        ::chmod(path.c_str(), mode);
        return path;
    }
    static bool Ran(const std::string& script) {
        for (int i = 0; i < 500; ++i) {
            if (platform::FileExists(script + ".ran")) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    void SavePath(const std::string& path) {
        ASSERT_TRUE(dialog->SaveProgramPath(platform::Utf8ToWide(path)));
    }
    std::wstring Saved() { return dialog->GetSavedProgramPath(); }
    void Run() { ASSERT_TRUE(user->Click(gps::kRun)); }
};

}  // namespace

TEST_F(ExternalProgram, OnlyRegularFilesTheUserMayExecuteArePrograms) {
    const std::string program = Script("tool");
    const std::string plain = Script("notes.exe", 0644);
    const struct {
        std::string path;
        bool executable;
    } cases[] = {
        {program, true}, {plain, false}, {dir.path(), false}, {dir / "missing", false}, {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CGPSUIDlg::IsExecutablePath(platform::Utf8ToWide(c.path)), c.executable)
            << c.path;
    }
}

TEST_F(ExternalProgram, ATypedProgramWithBlanksStartsAndIsSaved) {
    const std::string program = Script("my tools/pos logger");
    ASSERT_TRUE(user->Type(gps::kPath, platform::Utf8ToWide(program)));
    Run();
    EXPECT_TRUE(Ran(program));
    EXPECT_EQ(StatusKey(), L"IDS_STATIC_SUCCE_SAVEDATA");
    EXPECT_EQ(Saved(), platform::Utf8ToWide(program));
    EXPECT_NE(ConfigText().find("pos logger"), std::string::npos);
}

TEST_F(ExternalProgram, AnUnusableTypedPathFallsBackToTheSavedProgram) {
    const std::string saved = Script("saved tool");
    SavePath(saved);
    for (const std::string& typed : {Script("not executable", 0600), dir.path(), std::string()}) {
        ASSERT_TRUE(user->Type(gps::kPath, platform::Utf8ToWide(typed)));
        Run();
        EXPECT_EQ(StatusKey(), L"IDS_STATIC_SUCCE_RUNAPP") << typed;
        EXPECT_EQ(user->Text(gps::kPath), platform::Utf8ToWide(saved)) << typed;
        EXPECT_FALSE(platform::FileExists(typed + ".ran")) << typed;
    }
    EXPECT_TRUE(Ran(saved));
    EXPECT_TRUE(ui::headless::FileDialogs().empty());
}

TEST_F(ExternalProgram, WithNothingUsableTheFileDialogChoosesAndOnlySaves) {
    const std::string chosen = Script("chosen tool");
    // Cancelled: only the message before the dialog remains.
    Run();
    EXPECT_EQ(StatusKey(), L"IDS_STATIC_ERROR_InvalidPathFile");
    auto requests = ui::headless::FileDialogs();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].flags & ui::kFileExecutables);
    EXPECT_FALSE(requests[0].owner);

    ui::headless::ScriptFileDialogAnswer(platform::Utf8ToWide(chosen));
    Run();
    EXPECT_EQ(StatusKey(), L"IDS_STATIC_SUCCE_SAVEFILE");
    EXPECT_EQ(user->Text(gps::kPath), platform::Utf8ToWide(chosen));
    EXPECT_EQ(user->Focused(), gps::kPath);
    EXPECT_EQ(Saved(), platform::Utf8ToWide(chosen));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(platform::FileExists(chosen + ".ran")) << "a chosen program is not started";
}

TEST_F(ExternalProgram, EnterInThePathFieldRunsOnceAndMovesTheFocus) {
    const std::string program = Script("entered");
    CardFound();
    for (bool running : {false, true}) {
        if (running) {
            ASSERT_TRUE(user->Click(gps::kStart));
        }
        card->Reset();
        card->SetFallbackAnswer(kOk);
        ASSERT_TRUE(user->Type(gps::kPath, platform::Utf8ToWide(program)));
        ASSERT_TRUE(user->PressEnter(gps::kPath));
        EXPECT_EQ(user->Focused(), running ? gps::kStop : gps::kStart);
        EXPECT_EQ(user->Text(gps::kPath), platform::Utf8ToWide(program)) << "no line break";
        EXPECT_TRUE(card->SentLines().empty()) << "the default button is not pressed";
        EXPECT_EQ(Running(), running);
    }
    ASSERT_TRUE(Ran(program));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(platform::ReadWholeFile(program + ".ran"), "ran\nran\n") << "once per Enter";
}
