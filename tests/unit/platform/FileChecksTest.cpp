// The checks a recording makes on its files before and while it writes them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/Files.h"

namespace tolm {
namespace {

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

TEST_F(FileChecks, WritableFolderIsFoundByMakingAFileThatDoesNotStay) {
    std::string problem;
    EXPECT_TRUE(FolderWritable(base, problem)) << problem;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(base), {}), 1);  // only file.avi
    EXPECT_FALSE(FolderWritable(base + "/missing", problem));
    EXPECT_EQ(problem, "No such file or directory");
    EXPECT_FALSE(FolderWritable(file, problem));
    EXPECT_EQ(problem, "Not a directory");
}

TEST_F(FileChecks, LockedOnlyWhileAnotherOpenHoldsTheLock) {
    EXPECT_FALSE(FileLocked(base + "/missing"));
    EXPECT_FALSE(FileLocked(base));  // opens, takes the lock: a folder nobody holds
    EXPECT_FALSE(FileLocked(file));
    const int fd = ::open(file.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_SH), 0);  // a shared lock excludes an exclusive one as well
    EXPECT_TRUE(FileLocked(file));
    EXPECT_TRUE(FileInUse(file));
    ::close(fd);
    EXPECT_FALSE(FileLocked(file));
    // A path that cannot be opened is "in use" for the deletions, but nobody holds it.
    EXPECT_TRUE(FileInUse(file + "/below"));
    EXPECT_FALSE(FileLocked(file + "/below"));
}

TEST_F(FileChecks, SizesAndTheFileSizeLimit) {
    EXPECT_EQ(FileSize(file), 5u);
    EXPECT_EQ(FileSize(base), 0u);
    EXPECT_EQ(FileSize(base + "/missing"), 0u);
    // The limit is the process's own: asked in a child that sets one.
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit limit{3 << 20, RLIM_INFINITY};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(2);
        ::_exit(FileSizeLimitBytes() == std::optional<std::uint64_t>(3 << 20) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace tolm
