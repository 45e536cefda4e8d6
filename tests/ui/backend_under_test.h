// The back end the kit's shared tests run on: headless, or the terminal in a program built
// with SATVIEW_TEST_TERMINAL.
#pragma once

#ifdef SATVIEW_TEST_TERMINAL
#include "terminal_ui.h"
inline constexpr ui::BackendKind kBackendUnderTest = ui::BackendKind::Terminal;
#else
#include "headless_ui.h"
inline constexpr ui::BackendKind kBackendUnderTest = ui::BackendKind::Headless;
#endif
