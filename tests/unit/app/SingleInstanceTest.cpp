#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/SingleInstance.h"

namespace tolm {
namespace {

namespace fs = std::filesystem;

class SingleInstanceTest : public testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tolm-lock-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    std::string folder_;
};

TEST_F(SingleInstanceTest, SecondHolderOfTheSameNameIsRefusedUntilTheFirstGoes) {
    {
        TSingleInstance first("TOLM-CAPTURE", folder_);
        ASSERT_EQ(first.State(), TSingleInstance::Result::owned) << first.Error();
        TSingleInstance second("TOLM-CAPTURE", folder_);
        EXPECT_EQ(second.State(), TSingleInstance::Result::heldElsewhere);
        TSingleInstance other("TOLM-CAPTURE-COPY", folder_);
        EXPECT_EQ(other.State(), TSingleInstance::Result::owned);
    }
    TSingleInstance again("TOLM-CAPTURE", folder_);
    EXPECT_EQ(again.State(), TSingleInstance::Result::owned);
}

TEST_F(SingleInstanceTest, NamesDifferingInCaseShareTheLock) {
    TSingleInstance first(InstanceLockName("/opt/tolm/Tolm-Capture"), folder_);
    ASSERT_EQ(first.State(), TSingleInstance::Result::owned);
    TSingleInstance second(InstanceLockName("/home/me/bin/TOLM-capture"), folder_);
    EXPECT_EQ(second.State(), TSingleInstance::Result::heldElsewhere);
}

TEST_F(SingleInstanceTest, PlantedLinkIsNotFollowed) {
    const std::string target = folder_ + "/target";
    ASSERT_EQ(::symlink(target.c_str(), (folder_ + "/TOLM.lock").c_str()), 0);
    TSingleInstance lock("TOLM", folder_);
    EXPECT_EQ(lock.State(), TSingleInstance::Result::failed);
    EXPECT_FALSE(lock.Error().empty());
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(SingleInstanceTest, NamesThatWouldLeaveTheFolderAreRefused) {
    for (const std::string name : {"", ".", "..", "a/b"}) {
        TSingleInstance lock(name, folder_);
        EXPECT_EQ(lock.State(), TSingleInstance::Result::failed) << name;
    }
}

TEST(SingleInstanceNames, LockNameIsTheUpperCasedFileName) {
    EXPECT_EQ(InstanceLockName("/usr/local/bin/tolm-capture"), "TOLM-CAPTURE");
    EXPECT_EQ(InstanceLockName("Tolm.Capture.bin"), "TOLM.CAPTURE.BIN");
    EXPECT_EQ(InstanceLockName("/a.b/prog"), "PROG");  // a dot in the folder is not the file's
}

TEST(SingleInstanceNames, DefaultTitleCutsAtTheFirstDotAndLowersAllButTheFirstLetter) {
    EXPECT_EQ(DefaultApplicationTitle("/usr/bin/tolm-capture"), "tolm-capture");
    EXPECT_EQ(DefaultApplicationTitle("/opt/TOLM-Capture.Release.bin"), "Tolm-capture");
    EXPECT_EQ(DefaultApplicationTitle("/odd.dir/.hidden"), "");
    EXPECT_EQ(DefaultApplicationTitle("X"), "X");
}

}  // namespace
}  // namespace tolm
