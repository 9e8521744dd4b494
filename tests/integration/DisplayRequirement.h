#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace tolm::testing {

// scripts/test sets TOLM_REQUIRE_DISPLAY=1: there a missing display is a failure, elsewhere a skip.
inline bool DisplayRequired() {
    const char* value = std::getenv("TOLM_REQUIRE_DISPLAY");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

inline bool HaveDisplay() {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && *display != '\0';
}

}  // namespace tolm::testing

// In a test's SetUp: ends the test without a display, failing it when one is required.
#define TOLM_SKIP_WITHOUT_DISPLAY()                                                                     \
    do {                                                                                                \
        if (!::tolm::testing::HaveDisplay()) {                                                          \
            if (::tolm::testing::DisplayRequired()) FAIL() << "DISPLAY is not set but TOLM_REQUIRE_DISPLAY=1"; \
            GTEST_SKIP() << "DISPLAY is not set";                                                       \
        }                                                                                               \
    } while (false)
