// Stopping a recording whose compressor is stuck or too slow: the queued frames are given up after the
// queue's limits, the file is finished with what was encoded, and the stream says how many were left out.
// The encoder is the real one, made slow by the queue's per-frame delay.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "FfmpegTestSupport.h"
#include "platform/ffmpeg/FfmpegAviLibrary.h"
#include "platform/ffmpeg/FfmpegCompressorManager.h"
#include "platform/ffmpeg/FfmpegVideo.h"
#include "platform/ffmpeg/FrameQueue.h"

namespace tolm::testing {
namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kMJPG = MakeFourCC('M', 'J', 'P', 'G');
constexpr int kWidth = 160;
constexpr int kHeight = 96;
constexpr std::uint32_t kRate = 10;
constexpr int kFrames = 9;                      // one in the writer's hands and a full queue behind it
constexpr auto kStuck = std::chrono::hours(1);  // ends only when the queue gives the writer up

class BoundedStop : public ::testing::TestWithParam<std::uint32_t> {
  protected:
    void SetUp() override {
        const std::string missing = MissingTools();
        ASSERT_TRUE(missing.empty()) << missing;
        compressors_ = CreateFfmpegCompressorManager();
        for (int p = 0; p < kFrames + 2; ++p) frames_.push_back(MakeDib(Pattern(kWidth, kHeight, p), 32));
    }

    // A file with one video stream, its frames passing the queue set up with `options`.
    void Open(const ffmpeg::QueueOptions& options) {
        const auto* manager = dynamic_cast<ffmpeg::FfmpegCompressorManager*>(compressors_.get());
        ASSERT_NE(manager, nullptr);
        library_ = std::make_unique<ffmpeg::FfmpegAviLibrary>(manager->Registry(), options);
        ASSERT_EQ(library_->OpenFile(path_, AviOpenMode::create, file_), AVIERR_OK);
        AviStreamInfo info;
        info.fccType = streamtypeVIDEO;
        info.fccHandler = GetParam();
        info.dwScale = 1;
        info.dwRate = kRate;
        ASSERT_EQ(file_->CreateStream(info, stream_), AVIERR_OK);
        AviCompressOptions compress;
        compress.fccType = streamtypeVIDEO;
        compress.fccHandler = GetParam();
        compress.dwQuality = 10000;
        compress.dwFlags = AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_VALID;
        ASSERT_EQ(library_->MakeCompressedStream(stream_, compress, compressed_), AVIERR_OK);
        ASSERT_EQ(compressed_->SetFormat(0, frames_[0].Data(), frames_[0].FormatSize()), AVIERR_OK);
    }

    AviResult Write(int position) {
        const PackedDib& dib = frames_[position];
        return compressed_->Write(position, 1, dib.Bits(), dib.BitsSize(), AVIIF_KEYFRAME);
    }

    void WriteAll(int count) {
        for (int p = 0; p < count; ++p) ASSERT_EQ(Write(p), AVIERR_OK) << "position " << p;
    }

    // Lets the stream go (its writer joined) and finishes the file, which must be whole.
    void Release() {
        compressed_.reset();
        stream_.reset();
        ASSERT_EQ(file_->Finish(), AVIERR_OK);
        file_.reset();
    }

    // Frames in the finished file as our reader counts them.
    int Length() {
        std::unique_ptr<AviFile> file;
        std::shared_ptr<AviStream> stream;
        if (library_->OpenFile(path_, AviOpenMode::read, file) != AVIERR_OK) return -1;
        if (file->GetStream(streamtypeVIDEO, 0, stream) != AVIERR_OK) return -1;
        return static_cast<int>(stream->Info().dwLength);
    }

    // The finished file holds exactly the first `count` frames, each its own picture, for us and for ffprobe.
    void ExpectFirstFrames(int count) {
        EXPECT_EQ(Length(), count);
        if (count == 0) {
            EXPECT_EQ(ProbeStreamCount(path_), 1);
            return;
        }
        EXPECT_EQ(ProbeStream(path_, 0)["nb_frames"], std::to_string(count));
        const auto decoded = DecodeFrames(path_, kWidth, kHeight, kRate);
        ASSERT_EQ(decoded.size(), static_cast<std::size_t>(count));
        for (int p = 0; p < count; ++p)
            EXPECT_LE(MeanDifference(decoded[p], Pattern(kWidth, kHeight, p)), 12.0) << "position " << p;
    }

    std::unique_ptr<CompressorManager> compressors_;
    std::unique_ptr<AviLibrary> library_;
    std::vector<PackedDib> frames_;
    TempFolder folder_;
    std::string path_ = folder_.Path("stop.avi");
    std::unique_ptr<AviFile> file_;
    std::shared_ptr<AviStream> stream_;
    std::shared_ptr<AviStream> compressed_;
};

// A stuck encoder at the stop: the queue behind its frame is dropped and counted, the frame it held is
// written once it lets go, and the file ends there.
TEST_P(BoundedStop, StuckEncoderCostsOnlyTheQueuedFrames) {
    ffmpeg::QueueOptions options;
    options.limits.stall = 1s;
    options.frameDelay = kStuck;
    Open(options);
    WriteAll(kFrames);
    const std::int64_t dropped = compressed_->FinishWrites({});
    // Only the frame in the writer's hands can have got through.
    EXPECT_GE(dropped, kFrames - 1);
    EXPECT_LE(dropped, kFrames);
    EXPECT_EQ(Write(kFrames), AVIERR_BADHANDLE);        // no writes after the end
    EXPECT_EQ(compressed_->FinishWrites({}), dropped);  // asked again, the same count
    Release();
    ExpectFirstFrames(kFrames - static_cast<int>(dropped));
}

// The file finished while its stream still lives (a release in the other order) is not held either.
TEST_P(BoundedStop, FileFinishDoesNotWaitForAStuckEncoder) {
    ffmpeg::QueueOptions options;
    options.limits.stall = 1s;
    options.frameDelay = kStuck;
    Open(options);
    WriteAll(kFrames);
    ASSERT_EQ(file_->Finish(), AVIERR_OK);
    const std::int64_t dropped = compressed_->FinishWrites({});
    EXPECT_GE(dropped, kFrames - 1);
    Release();
    // The frame in the writer's hands may have gone in before the file was completed, or have come too late.
    const int length = Length();
    EXPECT_LE(length, 1);
    ExpectFirstFrames(length);
}

// A slow encoder that keeps finishing frames is waited for: nothing is left out.
TEST_P(BoundedStop, SlowEncoderThatKeepsUpLosesNothing) {
    ffmpeg::QueueOptions options;
    options.frameDelay = 40ms;
    Open(options);
    WriteAll(kFrames + 2);
    EXPECT_EQ(compressed_->FinishWrites({}), 0);
    Release();
    ExpectFirstFrames(kFrames + 2);
}

// The drain as a whole is bounded too: an encoder that moves, but too slowly for what is queued, loses the
// tail and keeps the frames it finished.
TEST_P(BoundedStop, DrainLimitCutsTheTailOfASlowEncoder) {
    ffmpeg::QueueOptions options;
    options.limits.drain = 300ms;
    options.frameDelay = 500ms;  // the queue needs far longer than the limit
    Open(options);
    WriteAll(kFrames);
    const std::int64_t dropped = compressed_->FinishWrites({});
    EXPECT_GE(dropped, 1);
    EXPECT_LE(dropped, kFrames - 1);  // the frame in the writer's hands at the start is always written
    Release();
    ExpectFirstFrames(kFrames - static_cast<int>(dropped));
}

// With its progress heard there is no limit to the drain but the watcher's: a slow encoder loses nothing,
// and the reports never claim the whole step.
TEST_P(BoundedStop, ReportedDrainWaitsForASlowEncoder) {
    ffmpeg::QueueOptions options;
    options.limits.drain = 300ms;
    options.frameDelay = 200ms;
    Open(options);
    WriteAll(kFrames);
    std::vector<int> reports;
    EXPECT_EQ(compressed_->FinishWrites([&](int percent) {
        reports.push_back(percent);
        return 0;
    }),
              0);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.front(), 0);
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    EXPECT_LT(reports.back(), 100);
    Release();
    ExpectFirstFrames(kFrames);
}

// Stopped by its watcher, the drain lets the queued frames go; the one being encoded still gets in.
TEST_P(BoundedStop, StoppedDrainLeavesTheQueueOut) {
    ffmpeg::QueueOptions options;
    options.frameDelay = 200ms;
    Open(options);
    WriteAll(kFrames);
    int reports = 0;
    const std::int64_t dropped = compressed_->FinishWrites([&](int) { return ++reports < 2 ? 0 : -1; });
    EXPECT_EQ(reports, 2);
    EXPECT_GE(dropped, 1);
    EXPECT_LE(dropped, kFrames - 1);
    Release();
    ExpectFirstFrames(kFrames - static_cast<int>(dropped));
}

// Stuck while recording: a write waiting for room gives up, so the caller can stop; what was encoded stays
// and the file is whole.
TEST_P(BoundedStop, StuckEncoderFreesAWaitingWriter) {
    ffmpeg::QueueOptions options;
    options.limits.stall = 1s;
    options.frameDelay = kStuck;
    Open(options);
    AviResult rc = AVIERR_OK;
    int accepted = 0;
    for (; accepted < kFrames + 2 && (rc = Write(accepted)) == AVIERR_OK; ++accepted) {
    }
    EXPECT_EQ(rc, AVIERR_COMPRESSOR);
    EXPECT_EQ(accepted, kFrames);
    EXPECT_EQ(Write(accepted + 1), AVIERR_COMPRESSOR);  // the failure is kept
    const std::int64_t dropped = compressed_->FinishWrites({});
    EXPECT_GE(dropped, accepted - 1);
    Release();
    ExpectFirstFrames(accepted - static_cast<int>(dropped));
}

// A stop lets a write waiting for room go at once with its frame, whether it comes before or during the wait.
TEST_P(BoundedStop, StopFreesAWriteWaitingForRoom) {
    ffmpeg::QueueOptions options;
    options.limits.stall = std::chrono::minutes(1);  // far beyond what a stop may wait
    options.frameDelay = kStuck;
    Open(options);
    WriteAll(kFrames);
    std::thread stop([&] { compressed_->StopWaitingForRoom(); });
    EXPECT_EQ(Write(kFrames), AVIERR_OK);
    stop.join();
    // Let go by the caller: all but the frame in the encoder's hands, the one beyond the depth included.
    EXPECT_EQ(compressed_->FinishWrites([](int) { return -1; }), kFrames);
    Release();
    ExpectFirstFrames(1);
}

// A slow writer's queue shrinks to the frames it writes in the backlog time, so a stop soon has them done.
TEST(FrameQueueDepth, FollowsTheWritersPace) {
    ffmpeg::WriterLimits limits;
    limits.backlog = 1s;
    ffmpeg::FrameQueue queue(8, limits);
    EXPECT_EQ(queue.Depth(), 8u);  // nothing is known of the writer yet
    std::vector<std::uint8_t> buffer;
    ASSERT_EQ(queue.Reserve(buffer), AVIERR_OK);
    queue.Push(ffmpeg::QueuedFrame{});
    ffmpeg::QueuedFrame frame;
    ASSERT_TRUE(queue.Pop(frame));
    std::this_thread::sleep_for(400ms);  // a frame that takes the writer this long
    queue.Done({}, AVIERR_OK);
    EXPECT_GE(queue.Depth(), 1u);
    EXPECT_LE(queue.Depth(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Handlers, BoundedStop, ::testing::Values(0u, kMJPG),
                         [](const ::testing::TestParamInfo<std::uint32_t>& info) {
                             return info.param == 0 ? std::string("Uncompressed") : std::string("MJPG");
                         });

}  // namespace
}  // namespace tolm::testing
