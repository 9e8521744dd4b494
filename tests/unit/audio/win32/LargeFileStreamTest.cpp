// Positions past 4 GiB, where a long (32 bits on Windows) would wrap; in a sparse file, so that only the bytes
// written take room.
#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstring>

#include "audio/ByteStream.h"
#include "platform/win32/WideText.h"

namespace tolm {
namespace {

TEST(LargeFiles, FileStreamsSeekWriteReadAndResizePastFourGiB) {
    const std::string path = ::testing::TempDir() + "tolm-large-file.bin";
    {
        const HANDLE file = ::CreateFileW(ToWide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD ignored = 0;
        const bool sparse = ::DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
        ::CloseHandle(file);
        if (!sparse) GTEST_SKIP() << "this file system has no sparse files";
    }
    constexpr std::uint64_t kFar = (5ull << 30) + 3;
    {
        FileStream stream(path, TFileMode::fmOpenReadWrite);
        EXPECT_EQ(stream.Seek(static_cast<std::int64_t>(kFar), TSeekOrigin::soBeginning), kFar);
        stream.Write("wave", 4);
        EXPECT_EQ(stream.Size(), kFar + 4);
        EXPECT_EQ(stream.Seek(-4, TSeekOrigin::soEnd), kFar);
        char back[4] = {};
        stream.ReadBuffer(back, sizeof back);
        EXPECT_EQ(std::memcmp(back, "wave", 4), 0);
        stream.SetSize(kFar + 1);
        EXPECT_EQ(stream.Size(), kFar + 1);
    }
    ::DeleteFileW(ToWide(path).c_str());
}

}  // namespace
}  // namespace tolm
