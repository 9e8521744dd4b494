// What Windows asks of the files besides: UTF-16 names, and an instance lock that leaves its folder free to go.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "imaging/Utf8Path.h"
#include "platform/Files.h"
#include "platform/StdioFile.h"
#include "platform/win32/WideText.h"
#include "unit/platform/PrivateFolderFixture.h"

namespace tolm {
namespace {

bool SameFolder(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(Utf8Path(a), Utf8Path(b), ec);
}

TEST_F(PrivateFolder, NamesInAnyScriptReachTheSystemLetterForLetter) {
    const std::string profile = base + "/J\u00f6rg \u5c71\u7530";
    PointUserFoldersAt(profile);
    std::string error;
    const std::string folder = PrivateTempFolder(error);
    ASSERT_FALSE(folder.empty()) << error;
    EXPECT_TRUE(SameFolder(folder, profile + "/TOLM Screen Capture"));

    const std::string file = folder + "/\u0437\u0430\u043f\u0438\u0441\u044c.avi";
    std::FILE* stream = OpenStdioFile(file, "wb");
    ASSERT_NE(stream, nullptr);
    std::fputs("12345", stream);
    std::fclose(stream);
    const std::wstring wide =
        ToWide(base) + L"/J\u00f6rg \u5c71\u7530/TOLM Screen Capture/\u0437\u0430\u043f\u0438\u0441\u044c.avi";
    EXPECT_NE(::GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(FileSize(file), 5u);
    EXPECT_TRUE(FreeDiskBytes(folder).has_value());
    EXPECT_EQ(RenameReplacing(file, folder + "/\u00e9t\u00e9.avi"), 0);
    EXPECT_TRUE(RemoveFile(folder + "/\u00e9t\u00e9.avi"));
}

TEST_F(PrivateFolder, AHeldInstanceLockLeavesItsFolderFreeToGo) {
    std::string error;
    const std::string folder = InstanceTempFolder(error);
    ASSERT_FALSE(folder.empty()) << error;
    ASSERT_TRUE(SameFolder(folder, base + "/TOLM Screen Capture"));
    std::error_code ec;
    std::filesystem::remove_all(Utf8Path(folder), ec);
    EXPECT_FALSE(ec) << ec.message();
    EXPECT_FALSE(DirectoryExists(folder));
}

}  // namespace
}  // namespace tolm
