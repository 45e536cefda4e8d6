// Runs the window kit with the wx back end for a whole GUI test program, when there is a
// display (the tests skip themselves otherwise); a wx assertion fails the running test.
#pragma once

#include <gtest/gtest.h>
#include <wx/debug.h>
#include <wx/string.h>

#include <cstdlib>

#include "platform/ui/kit.h"

namespace testing_support {

class WxUiEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        if (display == nullptr || *display == '\0') return;
        wxSetAssertHandler([](const wxString& file, int line, const wxString&,
                              const wxString& condition, const wxString& message) {
            ADD_FAILURE() << "wx assertion " << file.utf8_str().data() << ":" << line << " "
                          << condition.utf8_str().data() << " " << message.utf8_str().data();
        });
        ASSERT_TRUE(ui::Initialize(ui::BackendKind::Wx));
    }
    void TearDown() override { ui::Shutdown(); }
};

inline const bool wxUiRegistered = (::testing::AddGlobalTestEnvironment(new WxUiEnvironment), true);

}  // namespace testing_support
