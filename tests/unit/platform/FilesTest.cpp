#include "platform/Files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace tolm {
namespace {

class PrivateFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        base = ::testing::TempDir() + "tolm-files-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(base);
        std::filesystem::create_directories(base);
        setenv("XDG_CACHE_HOME", base.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", base.c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(base); }
    std::string base;
};

TEST_F(PrivateFolder, IsCreatedForThisUserOnly) {
    std::string error;
    const std::string folder = PrivateTempFolder(error);
    ASSERT_EQ(folder, base + "/tolm-screen-capture") << error;
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(PrivateTempFolder(error), folder);  // a second call finds it
}

TEST_F(PrivateFolder, IsBelowTheHomesCacheUnlessTheCacheFolderIsAnAbsolutePath) {
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    setenv("HOME", (base + "/home").c_str(), 1);
    setenv("XDG_CACHE_HOME", "relative/cache", 1);  // not a valid cache folder: never below the working folder
    std::string error;
    const std::string folder = PrivateTempFolder(error);
    setenv("HOME", savedHome.c_str(), 1);
    EXPECT_EQ(folder, base + "/home/.cache/tolm-screen-capture") << error;
    struct stat st {};
    ASSERT_EQ(::stat((base + "/home/.cache").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(PrivateFolder, RefusesALinkOrAnOpenFolder) {
    std::filesystem::create_directories(base + "/elsewhere");
    std::filesystem::create_directory_symlink(base + "/elsewhere", base + "/tolm-screen-capture");
    std::string error;
    EXPECT_EQ(PrivateTempFolder(error), "");
    EXPECT_NE(error.find("not a private folder"), std::string::npos);

    std::filesystem::remove(base + "/tolm-screen-capture");
    std::filesystem::create_directory(base + "/tolm-screen-capture");
    ::chmod((base + "/tolm-screen-capture").c_str(), 0777);
    error.clear();
    EXPECT_EQ(PrivateTempFolder(error), "");
    EXPECT_FALSE(error.empty());
}

TEST_F(PrivateFolder, PendingDeletionsSurviveUntilTheFileCanGo) {
    const std::string file = base + "/stuck.avi";
    std::ofstream(file) << "x";
    EXPECT_TRUE(DeleteAtNextStart(file));
    EXPECT_TRUE(DeleteAtNextStart(file));  // listed once
    EXPECT_FALSE(DeleteAtNextStart("bad\nname"));
    EXPECT_EQ(RunDeletionsAtStart(), 1);
    EXPECT_FALSE(FileExists(file));
    EXPECT_EQ(RunDeletionsAtStart(), 0);
}

TEST_F(PrivateFolder, DeletionsListedInTheFormerFolderAreTakenOver) {
    const std::string former = base + "/run/tolm-screen-capture";
    std::filesystem::create_directories(former);
    std::filesystem::permissions(former, std::filesystem::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", (base + "/run").c_str(), 1);
    const std::string file = base + "/stuck.avi";
    std::ofstream(file) << "x";
    std::ofstream(former + "/pending-deletions") << file << '\n';
    EXPECT_EQ(RunDeletionsAtStart(), 1);
    EXPECT_FALSE(FileExists(file));
    EXPECT_FALSE(FileExists(former + "/pending-deletions"));
}

TEST(FolderOf, SplitsAtTheLastSlash) {
    EXPECT_EQ(FolderOf("/home/u/video.avi"), "/home/u");
    EXPECT_EQ(FolderOf("/video.avi"), "/");
    EXPECT_EQ(FolderOf("video.avi"), "");
}

TEST(FileInUse, MissingFileIsNotInUse) {
    EXPECT_FALSE(FileInUse("/nonexistent/tolm/file.avi"));
    EXPECT_FALSE(FileExists("/nonexistent/tolm/file.avi"));
}

}  // namespace
}  // namespace tolm

namespace tolm {
namespace {

TEST(InstanceFolder, FirstRecorderUsesThePrivateFolderOthersASubfolder) {
    const std::string base = ::testing::TempDir() + "tolm-instance";
    std::filesystem::remove_all(base);
    std::filesystem::create_directories(base);
    setenv("XDG_CACHE_HOME", base.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", base.c_str(), 1);
    std::string error;
    const std::string folder = InstanceTempFolder(error);
    ASSERT_FALSE(folder.empty()) << error;
    // This process holds the lock now (or another test process does); a second claim from elsewhere fails.
    const int fd = ::open((base + "/tolm-screen-capture/instance.lock").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_NE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ::close(fd);
    ReleaseInstanceTempFolder(folder);
    std::filesystem::remove_all(base);
}

// A killed recorder's folder is told from a running one's by its lock: a further recorder holds its own too.
TEST(InstanceFolder, AFurtherRecordersSubfolderIsHeldAsLongAsItRuns) {
    const std::string base = ::testing::TempDir() + "tolm-instance-further";
    std::filesystem::remove_all(base);
    std::filesystem::create_directories(base + "/tolm-screen-capture");
    std::filesystem::permissions(base + "/tolm-screen-capture", std::filesystem::perms::owner_all);
    setenv("XDG_CACHE_HOME", base.c_str(), 1);
    const int first = ::open((base + "/tolm-screen-capture/instance.lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(::flock(first, LOCK_EX), 0);  // the first recorder runs
    std::string error;
    const std::string folder = InstanceTempFolder(error);
    ASSERT_NE(folder.find("/instance-"), std::string::npos) << folder << error;
    const int fd = ::open((folder + "/instance.lock").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_NE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ::close(fd);
    ::close(first);
    ReleaseInstanceTempFolder(folder);
    EXPECT_FALSE(std::filesystem::exists(folder));
    std::filesystem::remove_all(base);
}

}  // namespace
}  // namespace tolm
