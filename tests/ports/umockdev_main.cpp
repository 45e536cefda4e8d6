// Runs the tests under umockdev-wrapper, which preloads the library that shows libudev the
// fake devices; started plain, the program starts itself again through the wrapper.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const char* preload = std::getenv("LD_PRELOAD");
    if (!preload || !std::strstr(preload, "umockdev-preload")) {
        // The sanitizer runtime is fine with a preloaded library in front of it; keep whatever
        // options the caller gave and add the one that says so.
        std::string asan = "verify_asan_link_order=0";
        if (const char* given = std::getenv("ASAN_OPTIONS"); given && *given)
            asan = std::string(given) + ":" + asan;
        ::setenv("ASAN_OPTIONS", asan.c_str(), 1);
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
