#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace tolm {

// A fresh folder named after the test with one five-byte file in it.
class FileChecks : public ::testing::Test {
  protected:
    void SetUp() override {
        base = ::testing::TempDir() + "tolm-checks-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(base);
        std::filesystem::create_directories(base);
        file = base + "/file.avi";
        std::ofstream(file) << "12345";
    }
    void TearDown() override { std::filesystem::remove_all(base); }
    std::string base;
    std::string file;
};

}  // namespace tolm
