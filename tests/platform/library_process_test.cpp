#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
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
    EXPECT_FALSE(OpenWithDefaultHandler(""));
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
