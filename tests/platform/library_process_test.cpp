#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

#include "platform/files.h"
#include "platform/library.h"
#include "platform/process.h"
#include "temp_dir.h"

using namespace platform;

TEST(SharedLibrary, LoadsFindsExportAndReportsMissingOnes) {
    std::string error;
    auto lib = SharedLibrary::Load(TEST_LIB_PATH, error);
    ASSERT_NE(lib, nullptr) << error;
    auto answer = lib->Function<int (*)()>("satview_test_answer", error);
    ASSERT_NE(answer, nullptr) << error;
    EXPECT_EQ(answer(), 42);

    error.clear();
    EXPECT_EQ(lib->Symbol("CreatePlugin", error), nullptr);
    EXPECT_NE(error.find("CreatePlugin"), std::string::npos) << error;
}

TEST(SharedLibrary, RelativePathsResolveAgainstTheProgramDirectory) {
    std::string error;
    std::string name = std::string("libplatform_test_lib") + SharedLibrarySuffix();
    auto lib = SharedLibrary::Load(name, error);
    ASSERT_NE(lib, nullptr) << error;
    EXPECT_EQ(lib->Path().front(), '/');
}

TEST(SharedLibrary, MissingOrBrokenFilesCarryTheLoaderMessage) {
    std::string error;
    EXPECT_EQ(SharedLibrary::Load("/no/such/lib.so", error), nullptr);
    EXPECT_NE(error.find("/no/such/lib.so"), std::string::npos) << error;

    testing_support::TempDir dir;
    std::string bogus = dir.Write("bogus.so", "not an ELF file");
    error.clear();
    EXPECT_EQ(SharedLibrary::Load(bogus, error), nullptr);
    EXPECT_FALSE(error.empty());

    error.clear();
    EXPECT_EQ(SharedLibrary::Load("", error), nullptr);
    EXPECT_FALSE(error.empty());
}

TEST(Process, StartsAProgramWithArgumentsAndNoShell) {
    testing_support::TempDir dir;
    std::string marker = dir / "out; echo injected";
    // The argument holds shell syntax; without a shell it reaches touch as one file name.
    ASSERT_TRUE(StartProgram("/usr/bin/touch", {marker}));
    for (int i = 0; i < 200 && !FileExists(marker); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(FileExists(marker));
}

TEST(Process, MissingOrNonExecutableProgramsFail) {
    testing_support::TempDir dir;
    EXPECT_FALSE(StartProgram("/no/such/program"));
    EXPECT_FALSE(StartProgram(""));
    EXPECT_FALSE(StartProgram(dir.Write("data.txt", "not a program")));
    EXPECT_FALSE(OpenWithDefaultHandler("", dir / "handler.log"));
}

TEST(Process, TheDefaultHandlersOutputGoesToTheGivenFileNotToOurs) {
    testing_support::TempDir dir;
    std::string handler =
        dir.Write("bin/xdg-open", "#!/bin/sh\necho \"out $1\"\necho \"err $1\" >&2\n");
    ::chmod(handler.c_str(), 0755);
    const char* path = std::getenv("PATH");
    std::string saved = path ? path : "";
    ::setenv("PATH", (dir / "bin").c_str(), 1);
    std::string output = dir / "handler.log";
    bool started = OpenWithDefaultHandler("/some folder", output);
    ::setenv("PATH", saved.c_str(), 1);
    ASSERT_TRUE(started);
    std::string text;
    for (int i = 0; i < 200 && text.find("err") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        text = ReadWholeFile(output).value_or("");
    }
    EXPECT_EQ(text, "out /some folder\nerr /some folder\n");
    struct stat st;
    ASSERT_EQ(::stat(output.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// A program run for its answer: what it writes comes back with its status, never reaches
// this process's terminal, and a process it leaves behind holding the output does not hold
// the answer back.
TEST(Process, RunCollectingOutputAnswersWithStatusAndOutput) {
    const struct {
        const char* name;
        const char* script;
        int status;
        std::string output;
    } cases[] = {
        {"both streams", "echo out; echo err >&2; exit 0", 0, "out\nerr\n"},
        {"failure", "echo 'no method available' >&2; exit 3", 3, "no method available\n"},
        {"signal", "kill -9 $$", -1, ""},
        {"stdin is empty", "cat; echo end", 0, "end\n"},
        {"a child stays", "echo started; sleep 8 & exit 0", 0, "started\n"},
        {"output cut", "head -c 20000 /dev/zero | tr '\\0' x", 0,
         std::string(kMaxCollectedOutput, 'x')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::promise<ProgramOutcome> answer;
        auto future = answer.get_future();
        ASSERT_TRUE(RunCollectingOutput("sh", {"-c", c.script},
                                        [&](const ProgramOutcome& o) { answer.set_value(o); }));
        ASSERT_EQ(future.wait_for(std::chrono::seconds(4)), std::future_status::ready);
        ProgramOutcome outcome = future.get();
        EXPECT_EQ(outcome.exitStatus, c.status);
        EXPECT_EQ(outcome.output, c.output);
    }
    EXPECT_FALSE(RunCollectingOutput("satview-no-such-program", {}, [](const ProgramOutcome&) {
        ADD_FAILURE() << "no answer for a program that did not start";
    }));
    EXPECT_FALSE(RunCollectingOutput("", {}, [](const ProgramOutcome&) {}));
}
