#include "platform/Files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "PrivateFolderFixture.h"

namespace tolm {
namespace {

TEST_F(PrivateFolder, PendingDeletionsSurviveUntilTheFileCanGo) {
    const std::string file = base + "/stuck.avi";
    std::ofstream(file) << "x";
    EXPECT_TRUE(DeleteAtNextStart(file));
    EXPECT_TRUE(DeleteAtNextStart(file));  // listed once
    EXPECT_FALSE(DeleteAtNextStart("bad\nname"));
    {
        const HeldFile another(file);
        ASSERT_TRUE(another.Held());
        EXPECT_EQ(RunDeletionsAtStart(), 0);
        EXPECT_TRUE(FileExists(file));
    }
    EXPECT_EQ(RunDeletionsAtStart(), 1);
    EXPECT_FALSE(FileExists(file));
    EXPECT_EQ(RunDeletionsAtStart(), 0);
}

TEST_F(PrivateFolder, ReplacingARenameTakesTheNameOfAnExistingFile) {
    std::ofstream(base + "/new") << "new";
    std::ofstream(base + "/old") << "old";
    ASSERT_EQ(RenameReplacing(base + "/new", base + "/old"), 0);
    std::string text;
    std::getline(std::ifstream(base + "/old"), text);
    EXPECT_EQ(text, "new");
    EXPECT_FALSE(FileExists(base + "/new"));
    EXPECT_NE(RenameReplacing(base + "/new", base + "/old"), 0);
}

TEST_F(PrivateFolder, NewFilesNeverTakeAnExistingName) {
    EXPECT_EQ(CreateNewFile(base + "/part"), 0);
    EXPECT_TRUE(FileExists(base + "/part"));
    EXPECT_EQ(CreateNewFile(base + "/part"), EEXIST);
    EXPECT_NE(CreateNewFile(base + "/missing/part"), 0);
}

TEST_F(PrivateFolder, PrivateFilesReplaceTheirTextAtOnce) {
    std::string error;
    ASSERT_TRUE(WritePrivateFile(base + "/settings", "first", error)) << error;
    ASSERT_TRUE(WritePrivateFile(base + "/settings", "second", error)) << error;
    std::string text;
    std::getline(std::ifstream(base + "/settings"), text);
    EXPECT_EQ(text, "second");
    EXPECT_FALSE(FileExists(base + "/settings.new"));
    EXPECT_FALSE(WritePrivateFile(base + "/missing/settings", "x", error));
    EXPECT_FALSE(error.empty());
}

// A killed recorder's folder is told from a running one's by its lock: a further recorder holds its own too.
TEST_F(PrivateFolder, AFurtherRecordersSubfolderIsHeldAsLongAsItRuns) {
    std::string error;
    const std::string shared = PrivateTempFolder(error);
    ASSERT_FALSE(shared.empty()) << error;
    const HeldFolderLock first(shared);  // the first recorder runs
    ASSERT_TRUE(first.Held());
    const std::string folder = InstanceTempFolder(error);
    ASSERT_NE(folder.find("/instance-"), std::string::npos) << folder << error;
    EXPECT_FALSE(HeldFolderLock(folder).Held());
    ReleaseInstanceTempFolder(folder);
    EXPECT_FALSE(DirectoryExists(folder));
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
