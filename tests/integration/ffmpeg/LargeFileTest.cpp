#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>

#include "FfmpegTestSupport.h"

namespace tolm::testing {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kFrames = 530;  // 530 x 8294400 bytes: a little over 4 GiB

void Stamp(PackedDib& dib, int position) {
    std::memcpy(dib.Bits(), &position, sizeof position);
    std::memcpy(dib.Bits() + dib.BitsSize() - sizeof position, &position, sizeof position);
}

int StampOf(const std::vector<std::uint8_t>& data) {
    int position = -1;
    if (data.size() >= sizeof position) std::memcpy(&position, data.data(), sizeof position);
    return position;
}

// Labelled "large": it writes and reads 4.4 GB.
TEST(LargeFile, OpenDmlBeyondFourGigabytes) {
    const std::string missing = MissingTools();
    ASSERT_TRUE(missing.empty()) << missing;
    Video video = MakeVideo();
    TempFolder folder;
    const std::string path = folder.Path("large.avi");
    {
        Bitmap image(kWidth, kHeight);
        image.Fill(0x336699u);
        PackedDib dib = MakeDib(image, 32);
        std::unique_ptr<AviFile> file;
        ASSERT_EQ(video.library->OpenFile(path, AviOpenMode::create, file), AVIERR_OK);
        AviStreamInfo info;
        info.fccType = streamtypeVIDEO;
        info.dwScale = 1;
        info.dwRate = 25;
        std::shared_ptr<AviStream> stream;
        ASSERT_EQ(file->CreateStream(info, stream), AVIERR_OK);
        ASSERT_EQ(stream->SetFormat(0, dib.Data(), dib.FormatSize()), AVIERR_OK);
        for (int p = 0; p < kFrames; ++p) {
            Stamp(dib, p);
            ASSERT_EQ(stream->Write(p, 1, dib.Bits(), dib.BitsSize(), AVIIF_KEYFRAME), AVIERR_OK) << p;
        }
        ASSERT_EQ(file->Finish(), AVIERR_OK);
    }
    struct stat sb {};
    ASSERT_EQ(::stat(path.c_str(), &sb), 0);
    EXPECT_GT(sb.st_size, 4LL << 30);

    int status = 0;
    const std::string counted =
        RunCommand(std::string(kFfprobe) + " -v error -select_streams 0 -count_packets " +
                       "-show_entries stream=nb_frames,nb_read_packets -of csv=p=0 " + Quote(path),
                   status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(counted.substr(0, counted.find_last_not_of('\n') + 1),
              std::to_string(kFrames) + "," + std::to_string(kFrames));

    std::unique_ptr<AviFile> file;
    std::shared_ptr<AviStream> stream;
    ASSERT_EQ(video.library->OpenFile(path, AviOpenMode::read, file), AVIERR_OK);
    ASSERT_EQ(file->GetStream(streamtypeVIDEO, 0, stream), AVIERR_OK);
    EXPECT_EQ(stream->Info().dwLength, static_cast<std::uint32_t>(kFrames));
    std::vector<std::uint8_t> data;
    std::uint32_t flags = 0;
    for (int p : {kFrames - 1, 0, 300, kFrames - 2}) {  // beyond 4 GB, then back to the start
        ASSERT_EQ(stream->Read(p, data, flags), AVIERR_OK) << p;
        EXPECT_EQ(data.size(), static_cast<std::size_t>(kWidth) * kHeight * 4) << p;
        EXPECT_EQ(StampOf(data), p);
    }
    EXPECT_EQ(stream->Read(kFrames, data, flags), AVIERR_NODATA);
}

}  // namespace
}  // namespace tolm::testing
