// The checks a recording makes on its files before and while it writes them.
#include <gtest/gtest.h>

#include <filesystem>

#include "FileCheckFixture.h"
#include "platform/Files.h"
#include "support/TestSystem.h"

namespace tolm {
namespace {

TEST_F(FileChecks, WritableFolderIsFoundByMakingAFileThatDoesNotStay) {
    std::string problem;
    EXPECT_TRUE(FolderWritable(base, problem)) << problem;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(base), {}), 1);  // only file.avi
    EXPECT_FALSE(FolderWritable(base + "/missing", problem));
    EXPECT_FALSE(problem.empty());
    problem.clear();
    EXPECT_FALSE(FolderWritable(file, problem));
    EXPECT_FALSE(problem.empty());
}

TEST_F(FileChecks, LockedOnlyWhileAnotherProgramHoldsTheFile) {
    EXPECT_FALSE(FileLocked(base + "/missing"));
    EXPECT_FALSE(FileLocked(base));  // a folder nobody holds
    EXPECT_FALSE(FileLocked(file));
    EXPECT_FALSE(FileInUse(file));
    {
        const HeldFile another(file);
        ASSERT_TRUE(another.Held());
        EXPECT_TRUE(FileLocked(file));
        EXPECT_TRUE(FileInUse(file));
    }
    EXPECT_FALSE(FileLocked(file));
    EXPECT_FALSE(FileInUse(file));
}

TEST_F(FileChecks, SizesAndFreeSpace) {
    EXPECT_EQ(FileSize(file), 5u);
    EXPECT_EQ(FileSize(base), 0u);
    EXPECT_EQ(FileSize(base + "/missing"), 0u);
    const std::optional<std::uint64_t> free = FreeDiskBytes(base);
    ASSERT_TRUE(free.has_value());
    EXPECT_GT(*free, 0u);
    EXPECT_FALSE(FreeDiskBytes(base + "/missing").has_value());
}

}  // namespace
}  // namespace tolm
