// Runs the window kit headless for a whole test program: include it in any test file that
// creates dialogs.
#pragma once

#include <gtest/gtest.h>

#include "platform/ui/kit.h"

namespace testing_support {

class HeadlessUiEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { ASSERT_TRUE(ui::Initialize(ui::BackendKind::Headless)); }
    void TearDown() override { ui::Shutdown(); }
};

inline const bool headlessUiRegistered =
    (::testing::AddGlobalTestEnvironment(new HeadlessUiEnvironment), true);

}  // namespace testing_support
