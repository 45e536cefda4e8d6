// Runs the tests under umockdev-wrapper, which preloads the library that shows libudev the
// fake devices; started plain, the program starts itself again through the wrapper.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    const char* preload = std::getenv("LD_PRELOAD");
    if (!preload || !std::strstr(preload, "umockdev-preload")) {
        // The sanitizer runtimes are fine with a preloaded library that comes after them.
        ::setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 0);
        std::vector<char*> args{const_cast<char*>("umockdev-wrapper")};
        char self[4096];
        ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        if (n > 0) {
            self[n] = '\0';
            args.push_back(self);
            for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
            args.push_back(nullptr);
            ::execvp(args[0], args.data());
        }
        std::fprintf(stderr, "cannot start umockdev-wrapper; the udev tests need it\n");
        return 1;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
