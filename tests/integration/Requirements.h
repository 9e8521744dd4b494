#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace tolm::testing {

// scripts/test sets TOLM_REQUIRE_DISPLAY=1 and TOLM_REQUIRE_PULSE=1: there a missing display or sound server
// is a failure, elsewhere a skip.
inline bool Required(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && std::strcmp(value, "1") == 0;
}

inline bool HaveDisplay() {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && *display != '\0';
}

// Asked through pactl, so the verdict does not depend on the code under test. Checked once per process, before
// any test points PULSE_SERVER elsewhere.
inline bool HavePulseServer() {
    static const bool reachable = std::system("pactl info >/dev/null 2>&1") == 0;
    return reachable;
}

}  // namespace tolm::testing

// Ends the test (in SetUp or its body) when `have` is false, failing it when `variable` requires the service.
#define TOLM_SKIP_UNLESS(have, variable, missing)                                                \
    do {                                                                                         \
        if (!(have)) {                                                                           \
            if (::tolm::testing::Required(variable)) FAIL() << missing << " but " variable "=1"; \
            GTEST_SKIP() << missing;                                                             \
        }                                                                                        \
    } while (false)

#define TOLM_SKIP_WITHOUT_DISPLAY() \
    TOLM_SKIP_UNLESS(::tolm::testing::HaveDisplay(), "TOLM_REQUIRE_DISPLAY", "DISPLAY is not set")
#define TOLM_SKIP_WITHOUT_PULSE()                                              \
    TOLM_SKIP_UNLESS(::tolm::testing::HavePulseServer(), "TOLM_REQUIRE_PULSE", \
                     "no sound server answers (pactl info failed)")
