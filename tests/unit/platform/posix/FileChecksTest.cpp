// What the file checks find on POSIX: errno's words, shared locks, the process's file size limit.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/Files.h"
#include "unit/platform/FileCheckFixture.h"

namespace tolm {
namespace {

TEST_F(FileChecks, AnUnwritableFolderIsNamedInTheSystemsWords) {
    std::string problem;
    EXPECT_FALSE(FolderWritable(base + "/missing", problem));
    EXPECT_EQ(problem, "No such file or directory");
    EXPECT_FALSE(FolderWritable(file, problem));
    EXPECT_EQ(problem, "Not a directory");
}

TEST_F(FileChecks, ASharedLockExcludesAnExclusiveOneAsWell) {
    const int fd = ::open(file.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_SH), 0);
    EXPECT_TRUE(FileLocked(file));
    EXPECT_TRUE(FileInUse(file));
    ::close(fd);
    // A path that cannot be opened is "in use" for the deletions, but nobody holds it.
    EXPECT_TRUE(FileInUse(file + "/below"));
    EXPECT_FALSE(FileLocked(file + "/below"));
}

TEST_F(FileChecks, TheFileSizeLimitIsTheProcesssOwn) {
    // Asked in a child that sets one.
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
