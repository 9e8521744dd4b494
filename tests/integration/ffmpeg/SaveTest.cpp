#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "FfmpegTestSupport.h"

namespace tolm::testing {
namespace {

constexpr int kSampleRate = 8000;
constexpr int kSamples = 6400;  // 0.8 s, as long as the 8 positions of the clip at 10 per second

bool Exists(const std::string& path) {
    struct stat sb {};
    return ::stat(path.c_str(), &sb) == 0;
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class Save : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string missing = MissingTools();
        ASSERT_TRUE(missing.empty()) << missing;
        video_ = MakeVideo();
        videoPath_ = folder_.Path("video.tmp.avi");
        audioPath_ = folder_.Path("audio.tmp.wav");
        output_ = folder_.Path("out.avi");
        ASSERT_EQ(WriteClip(*video_.library, videoPath_, ClipPlan{}), AVIERR_OK);
        pcm_ = WriteWave(audioPath_, kSampleRate, 1, kSamples);
    }

    // The first stream of a file, as the engine takes it for the save.
    std::shared_ptr<AviStream> FirstStream(const std::string& path) {
        std::unique_ptr<AviFile> file;
        std::shared_ptr<AviStream> stream;
        EXPECT_EQ(video_.library->OpenFile(path, AviOpenMode::read, file), AVIERR_OK) << path;
        if (file) {
            EXPECT_EQ(file->GetStream(0, 0, stream), AVIERR_OK) << path;
        }
        return stream;  // outlives its file object
    }

    AviResult SaveBoth(const AviCompressOptions* videoOptions, std::vector<int>* percents, int stopAt = 101) {
        const auto video = FirstStream(videoPath_);
        const auto audio = FirstStream(audioPath_);
        if (!video || !audio) return AVIERR_ERROR;
        return video_.library->Save(output_, {video, audio}, {videoOptions, nullptr}, [&](int percent) {
            if (percents) percents->push_back(percent);
            return percent >= stopAt ? -1 : 0;
        });
    }

    // Frame 0 of the pattern in 24 bits, then empty positions up to 5: a still picture for 0.6 s.
    void WriteOneFrameThenEmpty(const std::string& path) {
        std::unique_ptr<AviFile> file;
        ASSERT_EQ(video_.library->OpenFile(path, AviOpenMode::create, file), AVIERR_OK);
        AviStreamInfo info;
        info.fccType = streamtypeVIDEO;
        info.dwScale = 1;
        info.dwRate = 10;
        std::shared_ptr<AviStream> stream;
        ASSERT_EQ(file->CreateStream(info, stream), AVIERR_OK);
        const PackedDib dib = MakeDib(Pattern(96, 64, 0), 24);
        ASSERT_EQ(stream->SetFormat(0, dib.Data(), dib.FormatSize()), AVIERR_OK);
        ASSERT_EQ(stream->Write(0, 1, dib.Bits(), dib.BitsSize(), AVIIF_KEYFRAME), AVIERR_OK);
        ASSERT_EQ(stream->Write(5, 1, nullptr, 0, 0), AVIERR_OK);  // an empty frame closes the timeline
        ASSERT_EQ(file->Finish(), AVIERR_OK);
    }

    TempFolder folder_;
    Video video_;
    std::string videoPath_;
    std::string audioPath_;
    std::string output_;
    std::vector<std::uint8_t> pcm_;
};

TEST_F(Save, TheWaveFilesFirstStreamIsItsSound) {
    const auto audio = FirstStream(audioPath_);
    ASSERT_NE(audio, nullptr);
    const AviStreamInfo info = audio->Info();
    EXPECT_EQ(info.fccType, streamtypeAUDIO);
    EXPECT_EQ(info.dwLength, static_cast<std::uint32_t>(kSamples));
    EXPECT_EQ(info.dwSampleSize, 2u);
    EXPECT_EQ(info.dwRate / info.dwScale, static_cast<std::uint32_t>(kSampleRate));
    const std::vector<std::uint8_t> format = audio->Format();
    ASSERT_GE(format.size(), 16u);
    EXPECT_EQ(format[0] | format[1] << 8, 1);  // PCM
    std::vector<std::uint8_t> sample;
    std::uint32_t flags = 0;
    ASSERT_EQ(audio->Read(1000, sample, flags), AVIERR_OK);
    EXPECT_EQ(sample, std::vector<std::uint8_t>(pcm_.begin() + 2000, pcm_.begin() + 2002));
    EXPECT_EQ(audio->Read(kSamples, sample, flags), AVIERR_NODATA);
}

TEST_F(Save, JoinsVideoAndSoundInOrderWithRisingProgress) {
    std::vector<int> percents;
    ASSERT_EQ(SaveBoth(nullptr, &percents), AVIERR_OK);

    ASSERT_EQ(ProbeStreamCount(output_), 2);
    EXPECT_EQ(ProbeStream(output_, 0)["codec_type"], "video");
    EXPECT_EQ(ProbeStream(output_, 0)["nb_frames"], "8");
    EXPECT_EQ(ProbeStream(output_, 1)["codec_type"], "audio");
    EXPECT_EQ(ProbeStream(output_, 1)["codec_name"], "pcm_s16le");

    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.front(), 0);
    EXPECT_EQ(percents.back(), 100);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_GT(percents.size(), 3u);

    // Copied as they were: the video positions with their gaps, every sound sample.
    const auto video = FirstStream(output_);
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->Info().dwLength, 8u);
    std::vector<std::uint8_t> data;
    std::uint32_t flags = 0;
    ASSERT_EQ(video->Read(4, data, flags), AVIERR_OK);
    const PackedDib dib = MakeDib(Pattern(96, 64, 4), 32);
    EXPECT_TRUE(data == std::vector<std::uint8_t>(dib.Bits(), dib.Bits() + dib.BitsSize()));
    ASSERT_EQ(video->Read(5, data, flags), AVIERR_OK);
    EXPECT_TRUE(data.empty());

    std::unique_ptr<AviFile> file;
    std::shared_ptr<AviStream> audio;
    ASSERT_EQ(video_.library->OpenFile(output_, AviOpenMode::read, file), AVIERR_OK);
    ASSERT_EQ(file->GetStream(streamtypeAUDIO, 0, audio), AVIERR_OK);
    EXPECT_EQ(audio->Info().dwLength, static_cast<std::uint32_t>(kSamples));
    ASSERT_EQ(audio->Read(kSamples - 1, data, flags), AVIERR_OK);
    EXPECT_EQ(data, std::vector<std::uint8_t>(pcm_.end() - 2, pcm_.end()));
}

TEST_F(Save, StoppedByTheProgressCallbackLeavesNoFile) {
    std::vector<int> percents;
    EXPECT_EQ(SaveBoth(nullptr, &percents, 40), AVIERR_USERABORT);
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 40);
    EXPECT_FALSE(Exists(output_));
    std::vector<std::string> names = folder_.Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"audio.tmp.wav", "video.tmp.avi"}));  // nothing half-written
}

TEST_F(Save, AFailedSaveLeavesAnExistingFileAlone) {
    std::ofstream(output_) << "earlier recording";
    EXPECT_EQ(SaveBoth(nullptr, nullptr, 0), AVIERR_USERABORT);
    EXPECT_EQ(Contents(output_), "earlier recording");
}

TEST_F(Save, AFinishedFileMovedIntoPlaceReplacesTheOldOneAndAFailedMoveChangesNothing) {
    std::ofstream(output_) << "earlier recording";
    const std::string recorded = Contents(videoPath_);
    ASSERT_EQ(video_.library->MoveFile(videoPath_, output_), AVIERR_OK);
    EXPECT_EQ(Contents(output_), recorded);
    EXPECT_FALSE(Exists(videoPath_));
    EXPECT_NE(video_.library->MoveFile(videoPath_, output_), AVIERR_OK);  // gone: nothing to move
    EXPECT_EQ(Contents(output_), recorded);
}

TEST_F(Save, CompressesUncompressedVideoOnTheWay) {
    AviCompressOptions options;
    options.fccType = streamtypeVIDEO;
    options.fccHandler = MakeFourCC('M', 'J', 'P', 'G');
    options.dwQuality = 10000;
    options.dwKeyFrameEvery = 300;
    options.dwFlags = AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_VALID;
    std::vector<int> percents;
    ASSERT_EQ(SaveBoth(&options, &percents), AVIERR_OK);
    EXPECT_EQ(percents.back(), 100);

    auto stream = ProbeStream(output_, 0);
    EXPECT_EQ(stream["codec_name"], "mjpeg");
    EXPECT_EQ(stream["nb_frames"], "8");
    EXPECT_EQ(ProbeStream(output_, 1)["codec_type"], "audio");
    const auto frames = DecodeFrames(output_, 96, 64, 10);
    ASSERT_EQ(frames.size(), 8u);
    EXPECT_LT(MeanDifference(frames[7], Pattern(96, 64, 7)), 12.0);
    EXPECT_TRUE(frames[3] == frames[2]);
    const auto video = FirstStream(output_);
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->Info().fccHandler, options.fccHandler);
}

TEST_F(Save, RecompressesCompressedVideoWithAnotherCompressor) {
    const std::string compressed = folder_.Path("zmbv.avi");
    ClipPlan plan;
    plan.handler = MakeFourCC('Z', 'M', 'B', 'V');
    plan.positions = {0, 1, 5};
    ASSERT_EQ(WriteClip(*video_.library, compressed, plan), AVIERR_OK);
    AviCompressOptions options;
    options.fccType = streamtypeVIDEO;
    options.fccHandler = MakeFourCC('H', 'F', 'Y', 'U');
    const auto source = FirstStream(compressed);
    ASSERT_NE(source, nullptr);
    ASSERT_EQ(video_.library->Save(output_, {source}, {&options}, nullptr), AVIERR_OK);
    EXPECT_EQ(ProbeStream(output_, 0)["codec_name"], "huffyuv");
    EXPECT_EQ(ProbeStream(output_, 0)["nb_frames"], "6");
    const auto frames = DecodeFrames(output_, 96, 64, 10);
    ASSERT_EQ(frames.size(), 6u);
    EXPECT_EQ(MeanDifference(frames[5], Pattern(96, 64, 5)), 0.0);  // lossless both ways
    EXPECT_TRUE(frames[4] == frames[1]);
}

TEST_F(Save, KeepsSkippedPositionsAtTheEnd) {
    // A stream whose last positions are empty keeps its length.
    const std::string gappy = folder_.Path("gappy.avi");
    ASSERT_NO_FATAL_FAILURE(WriteOneFrameThenEmpty(gappy));
    const auto source = FirstStream(gappy);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->Info().dwLength, 6u);
    ASSERT_EQ(video_.library->Save(output_, {source}, {nullptr}, nullptr), AVIERR_OK);
    EXPECT_EQ(ProbeStream(output_, 0)["nb_frames"], "6");
    EXPECT_EQ(FirstStream(output_)->Info().dwLength, 6u);
}

// Matroska has no empty frames: the one frame lasts the whole timeline, its rows the right way up.
TEST_F(Save, MatroskaKeepsTheTimelineOfRepeatsAndTheRowsUpright) {
    const std::string still = folder_.Path("still.avi");
    ASSERT_NO_FATAL_FAILURE(WriteOneFrameThenEmpty(still));
    const std::string mkv = folder_.Path("still.mkv");
    ASSERT_EQ(video_.library->Save(mkv, {FirstStream(still)}, {nullptr}, nullptr), AVIERR_OK);
    int status = 0;
    const std::string seconds =
        RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 " + Quote(mkv), status);
    EXPECT_NEAR(std::stod(seconds), 0.6, 0.001);
    const std::string frame =
        RunCommand("ffmpeg -v error -nostdin -i " + Quote(mkv) + " -frames:v 1 -f rawvideo -pix_fmt bgr0 -", status);
    EXPECT_EQ(MeanDifference(std::vector<std::uint8_t>(frame.begin(), frame.end()), Pattern(96, 64, 0)), 0.0);
}

TEST_F(Save, NamedCompressorThatDoesNotExist) {
    AviCompressOptions options;
    options.fccType = streamtypeVIDEO;
    options.fccHandler = MakeFourCC('N', 'O', 'N', 'E');
    EXPECT_EQ(SaveBoth(&options, nullptr), AVIERR_NOCOMPRESSOR);
    EXPECT_FALSE(Exists(output_));
    EXPECT_EQ(video_.library->Save(output_, {}, {}, nullptr), AVIERR_BADPARAM);
    EXPECT_EQ(video_.library->Save(output_, {nullptr}, {nullptr}, nullptr), AVIERR_BADPARAM);
}

}  // namespace
}  // namespace tolm::testing
