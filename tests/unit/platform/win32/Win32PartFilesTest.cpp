// The save's outputs and part files on Windows: devices refused by their names alone, a read-only output, a
// part file open to the save's own writer, and the part file of a killed save found by its free handle.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "imaging/Utf8Path.h"
#include "platform/Files.h"
#include "platform/PartFiles.h"
#include "platform/StdioFile.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Handles.h"
#include "unit/platform/FileCheckFixture.h"
#include "unit/platform/PrivateFolderFixture.h"

namespace tolm {
namespace {

constexpr const char* kKilledSaveVariable = "TOLM_TEST_KILLED_SAVE";

void WriteText(const std::string& path, const char* text) {
    std::FILE* file = OpenStdioFile(path, "wb");  // as FFmpeg's writer opens it: sharing reads and writes
    ASSERT_NE(file, nullptr);
    std::fputs(text, file);
    std::fclose(file);
}

// Started again with TOLM_TEST_KILLED_SAVE=<output>, this program is a save that ends before its clean-up
// once its part file holds four bytes, as one ended by TerminateProcess does.
[[maybe_unused]] const bool kKilledSaveChild = [] {
    const wchar_t* output = ::_wgetenv(ToWide(kKilledSaveVariable).c_str());
    if (!output || !*output) return false;
    PartFile part;
    if (part.Create(ToUtf8(output)) == 0) WriteText(part.Path(), "part");
    ::TerminateProcess(::GetCurrentProcess(), 0);
    return true;
}();

TEST_F(FileChecks, OutputsASaveCannotReplaceAreNamedWithoutOpeningThem) {
    EXPECT_EQ(OutputFileProblem(file), "");
    EXPECT_EQ(OutputFileProblem(base + "/missing.avi"), "");
    EXPECT_EQ(OutputFileProblem("NUL"), "it is the device NUL, not a regular file");
    EXPECT_EQ(OutputFileProblem(base + "/com1 .avi"), "it is the device COM1, not a regular file");
    EXPECT_EQ(OutputFileProblem("\\\\.\\pipe\\tolm"), "it is a pipe, not a regular file");
    EXPECT_EQ(OutputFileProblem(base), "it is a folder");
    EXPECT_TRUE(FileInUse("CON"));
    EXPECT_FALSE(FileLocked("CON"));

    EXPECT_EQ(OutputFileProblem(base + "/" + std::string(242, 'n')),
              "its name of 242 characters is too long: a save first writes it with .part-XXXXXXXX added, which passes "
              "the 255 characters a name may have here");
    const std::size_t folderLength = AbsolutePath(base).size() + 1;
    EXPECT_EQ(OutputFileProblem(base + "/" + std::string(245 - folderLength, 'n')), "");
    EXPECT_EQ(OutputFileProblem(base + "/" + std::string(246 - folderLength, 'n')),
              "its path of 246 characters is too long: a save first writes it with .part-XXXXXXXX added, which passes "
              "the 259 characters a path may have here");

    // Windows' counterpart of an immutable file: a rename cannot replace it.
    ASSERT_TRUE(::SetFileAttributesW(ToWide(file).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(OutputFileProblem(file), "it is marked read-only");
    ::SetFileAttributesW(ToWide(file).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(PrivateFolder, ThePartFileTakesTheSavesWriterAndReplacesTheOutput) {
    const std::string output = base + "/out.avi";
    WriteText(output, "old");
    PartFile part;
    ASSERT_EQ(part.Create(output), 0);
    EXPECT_TRUE(FileInUse(part.Path()));
    EXPECT_TRUE(InterruptedParts().empty());  // the save still runs
    WriteText(part.Path(), "new");
    ASSERT_EQ(part.Commit(), 0);
    std::string text;
    std::getline(std::ifstream(Utf8Path(output)), text);
    EXPECT_EQ(text, "new");
    EXPECT_FALSE(FileExists(part.Path()));
}

TEST_F(PrivateFolder, AKilledSavesPartFileIsFoundAndGoesWhenAsked) {
    const std::string output = base + "/out.avi";
    wchar_t program[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameW(nullptr, program, MAX_PATH), 0u);
    std::wstring command = L"\"" + std::wstring(program) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    SetTestEnvironment(kKilledSaveVariable, output);
    const bool started =
        ::CreateProcessW(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child);
    SetTestEnvironment(kKilledSaveVariable, "");
    ASSERT_TRUE(started);
    const UniqueHandle process(child.hProcess);
    const UniqueHandle thread(child.hThread);
    ASSERT_EQ(::WaitForSingleObject(process.get(), INFINITE), WAIT_OBJECT_0);

    const std::vector<InterruptedPart> parts = InterruptedParts();
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].path.rfind(AbsolutePath(output) + ".part-", 0), 0u) << parts[0].path;
    EXPECT_EQ(parts[0].bytes, 4u);
    ForgetInterruptedPart(parts[0].path, true);
    EXPECT_FALSE(FileExists(parts[0].path));
    EXPECT_TRUE(InterruptedParts().empty());
}

TEST(AbsolutePath, LeadsFromADriveOrAShareWithSlashes) {
    EXPECT_EQ(AbsolutePath("C:\\a\\..\\b\\x.avi"), "C:/b/x.avi");
    EXPECT_TRUE(IsAbsolutePath("C:/b/x.avi"));
    EXPECT_TRUE(IsAbsolutePath("\\\\server\\share\\x.avi"));
    EXPECT_FALSE(IsAbsolutePath("x.avi"));
    EXPECT_FALSE(IsAbsolutePath("/x.avi"));  // on the current drive, whichever that is
}

}  // namespace
}  // namespace tolm
