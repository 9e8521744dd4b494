#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "FfmpegTestSupport.h"

namespace tolm::testing {
namespace {

constexpr int kWidth = 96;
constexpr int kHeight = 64;
constexpr int kFrames = 40;   // 4 s at 10 per second
constexpr int kSkipped = 17;  // a position the recorder dropped

std::vector<std::uint8_t> FrameBytes(int position) {
    const PackedDib dib = MakeDib(Pattern(kWidth, kHeight, position), 24);
    const auto* bits = static_cast<const std::uint8_t*>(dib.Bits());
    return {bits, bits + dib.BitsSize()};
}

// A new file's video stream of `rate` frames per second, in a child that ends with _exit: on failure, with `code`.
std::shared_ptr<AviStream> CreateStreamOrDie(Video& video, std::unique_ptr<AviFile>& file, const std::string& path,
                                             std::uint32_t rate) {
    if (video.library->OpenFile(path, AviOpenMode::create, file) != AVIERR_OK) _exit(2);
    const PackedDib first = MakeDib(Pattern(kWidth, kHeight, 0), 24);
    AviStreamInfo info;
    info.fccType = streamtypeVIDEO;
    info.dwScale = 1;
    info.dwRate = rate;
    info.rcFrame = FrameRect{0, 0, kWidth, kHeight};
    std::shared_ptr<AviStream> stream;
    if (file->CreateStream(info, stream) != AVIERR_OK) _exit(3);
    if (stream->SetFormat(0, first.Data(), first.FormatSize()) != AVIERR_OK) _exit(4);
    return stream;
}

// Writes the frames as a recorder does and dies without finishing the file, as after kill -9: what reached the
// file is all there is, with no index and with the header's lengths still 0.
void WriteAndDie(const std::string& path) {
    Video video = MakeVideo();
    std::unique_ptr<AviFile> file;
    const std::shared_ptr<AviStream> stream = CreateStreamOrDie(video, file, path, 10);
    for (int p = 0; p < kFrames; ++p) {
        if (p == kSkipped) continue;
        const std::vector<std::uint8_t> bytes = FrameBytes(p);
        if (stream->Write(p, 1, bytes.data(), bytes.size(), AVIIF_KEYFRAME) != AVIERR_OK) _exit(5);
    }
    _exit(0);  // no destructors: nothing finishes the file
}

class KilledWriter : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string missing = MissingTools();
        ASSERT_TRUE(missing.empty()) << missing;
        path_ = folder_.Path("killed.avi");
        // Before this process starts any thread of its own, so the child inherits no held lock.
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) WriteAndDie(path_);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        // The last chunk cut short, as when the kill came in the middle of a write.
        struct stat sb {};
        ASSERT_EQ(::stat(path_.c_str(), &sb), 0);
        ASSERT_GT(sb.st_size, 20 * static_cast<off_t>(FrameBytes(0).size()));
        ASSERT_EQ(::truncate(path_.c_str(), sb.st_size - 1000), 0);
        video_ = MakeVideo();
    }

    std::shared_ptr<AviStream> VideoStream() {
        std::unique_ptr<AviFile> file;
        std::shared_ptr<AviStream> stream;
        EXPECT_EQ(video_.library->OpenFile(path_, AviOpenMode::read, file), AVIERR_OK);
        if (file) {
            EXPECT_EQ(file->GetStream(streamtypeVIDEO, 0, stream), AVIERR_OK);
        }
        return stream;
    }

    TempFolder folder_;
    std::string path_;
    Video video_;
};

TEST_F(KilledWriter, EveryWholeFrameIsReadAtItsPositionAndTheCutOneIsNot) {
    const auto stream = VideoStream();
    ASSERT_TRUE(stream);
    const auto length = static_cast<int>(stream->Info().dwLength);
    // At least the frames of the first three seconds were flushed; the cut frame is not counted.
    EXPECT_GE(length, 30);
    EXPECT_LT(length, kFrames);
    std::vector<std::uint8_t> data;
    std::uint32_t flags = 0;
    for (int p = 0; p < length; ++p) {
        ASSERT_EQ(stream->Read(p, data, flags), AVIERR_OK) << p;
        if (p == kSkipped) {
            EXPECT_TRUE(data.empty());
        } else {
            EXPECT_TRUE(data == FrameBytes(p)) << "position " << p << ", " << data.size() << " bytes";
        }
    }
    EXPECT_EQ(stream->Read(length, data, flags), AVIERR_NODATA);
    // Going back needs a fresh start, the file having no index.
    ASSERT_EQ(stream->Read(3, data, flags), AVIERR_OK);
    EXPECT_TRUE(data == FrameBytes(3));
}

TEST_F(KilledWriter, SavesIntoAFinishedFileOthersRead) {
    const auto stream = VideoStream();
    ASSERT_TRUE(stream);
    const std::int64_t length = stream->Info().dwLength;
    const std::string output = folder_.Path("saved.avi");
    ASSERT_EQ(video_.library->Save(output, {stream}, {nullptr}, nullptr), AVIERR_OK);
    const auto probed = ProbeStream(output, 0);
    ASSERT_TRUE(probed.contains("nb_frames"));
    EXPECT_EQ(std::stoll(probed.at("nb_frames")), length);
    const auto frames = DecodeFrames(output, kWidth, kHeight, 10);
    ASSERT_EQ(static_cast<std::int64_t>(frames.size()), length);
    EXPECT_LT(MeanDifference(frames[length - 1], Pattern(kWidth, kHeight, static_cast<int>(length) - 1)), 1.0);
}

// A still screen's recorder writes a frame after a second of nothing and after a run of empty positions: that
// frame is on disk when the recorder dies right after it.
TEST(KilledStillWriter, TheFrameAfterASecondAndEmptyPositionsReachesTheFile) {
    TempFolder folder;
    const std::string path = folder.Path("still.avi");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Video video = MakeVideo();
        std::unique_ptr<AviFile> file;
        const std::shared_ptr<AviStream> stream = CreateStreamOrDie(video, file, path, 50);
        const std::vector<std::uint8_t> bytes = FrameBytes(0);
        if (stream->Write(0, 1, bytes.data(), bytes.size(), AVIIF_KEYFRAME) != AVIERR_OK) _exit(5);
        ::usleep(1100 * 1000);
        if (stream->Write(30, 1, bytes.data(), bytes.size(), AVIIF_KEYFRAME) != AVIERR_OK) _exit(5);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    Video video = MakeVideo();
    std::unique_ptr<AviFile> file;
    std::shared_ptr<AviStream> stream;
    ASSERT_EQ(video.library->OpenFile(path, AviOpenMode::read, file), AVIERR_OK);
    ASSERT_EQ(file->GetStream(streamtypeVIDEO, 0, stream), AVIERR_OK);
    EXPECT_EQ(stream->Info().dwLength, 31u);
}

}  // namespace
}  // namespace tolm::testing
