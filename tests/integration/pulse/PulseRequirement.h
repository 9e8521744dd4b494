#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace tolm::testing {

// scripts/test sets TOLM_REQUIRE_PULSE=1: there a missing sound server is a failure, elsewhere a skip.
inline bool PulseRequired() {
    const char* value = std::getenv("TOLM_REQUIRE_PULSE");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

// Asked through pactl, so the verdict does not depend on the code under test. Checked once per process, before
// any test points PULSE_SERVER elsewhere.
inline bool HavePulseServer() {
    static const bool reachable = std::system("pactl info >/dev/null 2>&1") == 0;
    return reachable;
}

}  // namespace tolm::testing

// In a test's SetUp: ends the test without a sound server, failing it when one is required.
#define TOLM_SKIP_WITHOUT_PULSE()                                                                               \
    do {                                                                                                        \
        if (!::tolm::testing::HavePulseServer()) {                                                              \
            if (::tolm::testing::PulseRequired()) FAIL() << "no sound server answers but TOLM_REQUIRE_PULSE=1"; \
            GTEST_SKIP() << "no sound server answers (pactl info failed)";                                      \
        }                                                                                                       \
    } while (false)
