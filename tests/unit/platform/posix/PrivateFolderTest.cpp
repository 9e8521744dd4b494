// The private folder's rules on POSIX: mode 0700, no links, below the cache folder, the runtime folder of
// earlier versions, the instance lock taken with flock.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/Files.h"
#include "unit/platform/PrivateFolderFixture.h"

namespace tolm {
namespace {

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

}  // namespace
}  // namespace tolm
