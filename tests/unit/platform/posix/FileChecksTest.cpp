// What the file checks find on POSIX: errno's words, shared locks, the process's file size limit, outputs
// that are FIFOs, devices or immutable.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/Files.h"
#include "platform/PartFiles.h"
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

// Found before a recording, and without opening what could wait (a FIFO) or act (a device): what a save, which
// writes NAME.part-XXXXXXXX beside the output and renames it over, could not replace.
TEST_F(FileChecks, OutputThatASaveCannotReplaceIsNamedWithItsReason) {
    EXPECT_EQ(OutputFileProblem(file), "");
    EXPECT_EQ(OutputFileProblem(base + "/missing.avi"), "");
    EXPECT_EQ(OutputFileProblem(base + "/" + std::string(241, 'n')), "");
    EXPECT_EQ(OutputFileProblem(base + "/" + std::string(242, 'n')),
              "its name of 242 bytes is too long: a save first writes it with .part-XXXXXXXX added, which passes the "
              "255 bytes a name may have here");
    EXPECT_EQ(OutputFileProblem("/dev/null"), "it is a character device, not a regular file");
    const std::string fifo = base + "/fifo.avi";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(OutputFileProblem(fifo), "it is a FIFO, not a regular file");
    EXPECT_FALSE(FileLocked(fifo));
    EXPECT_TRUE(FileInUse(fifo));

    const int fd = ::open(file.c_str(), O_RDONLY);
    int flags = 0;
    ASSERT_GE(fd, 0);
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        const int immutable = flags | FS_IMMUTABLE_FL;
        if (::ioctl(fd, FS_IOC_SETFLAGS, &immutable) == 0) {  // needs the privilege and a file system that has it
            EXPECT_EQ(OutputFileProblem(file), "it is marked immutable");
            ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
    }
    ::close(fd);
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
