#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/TestSystem.h"

namespace tolm {

// A fresh folder named after the test, which the recorder's user folders point at.
class PrivateFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        base = ::testing::TempDir() + "tolm-files-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(base);
        std::filesystem::create_directories(base);
        PointUserFoldersAt(base);
    }
    void TearDown() override { std::filesystem::remove_all(base); }
    std::string base;
};

}  // namespace tolm
