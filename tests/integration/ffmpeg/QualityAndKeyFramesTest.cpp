#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "FfmpegTestSupport.h"
#include "platform/ffmpeg/CodecCatalog.h"

namespace tolm::testing {
namespace {

std::vector<int> Consecutive(int count) {
    std::vector<int> positions(static_cast<std::size_t>(count));
    std::iota(positions.begin(), positions.end(), 0);
    return positions;
}

class QualityAndKeyFrames : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string missing = MissingTools();
        ASSERT_TRUE(missing.empty()) << missing;
        video_ = MakeVideo();
    }

    std::string Write(const std::string& name, const ClipPlan& plan) {
        const std::string path = folder_.Path(name);
        EXPECT_EQ(WriteClip(*video_.library, path, plan), AVIERR_OK) << name;
        return path;
    }

    // Positions whose sample our reader flags as a key frame.
    std::vector<int> KeyPositions(const std::string& path) {
        std::vector<int> keys;
        std::unique_ptr<AviFile> file;
        std::shared_ptr<AviStream> stream;
        if (video_.library->OpenFile(path, AviOpenMode::read, file) != AVIERR_OK ||
            file->GetStream(streamtypeVIDEO, 0, stream) != AVIERR_OK)
            return keys;
        std::vector<std::uint8_t> data;
        std::uint32_t flags = 0;
        for (int p = 0; stream->Read(p, data, flags) == AVIERR_OK; ++p)
            if (flags & AVIIF_KEYFRAME) keys.push_back(p);
        return keys;
    }

    static long TotalBytes(const std::string& path) {
        long total = 0;
        for (const ProbedPacket& p : ProbePackets(path, 0)) total += p.size;
        return total;
    }

    TempFolder folder_;
    Video video_;
};

TEST_F(QualityAndKeyFrames, KeyFramesComeEveryNFramesAsTheEncoderMarksThem) {
    // Before the moving box wraps round at position 19, which x264 would take for a scene cut.
    const std::vector<int> expected = {0, 5, 10, 15};
    for (const char* code : {"FMP4", "H264", "ZMBV", "MSVC", "cvid"}) {
        const std::uint32_t handler = MakeFourCC(code[0], code[1], code[2], code[3]);
        if (!ffmpeg::FindCompressor(handler)) continue;
        ClipPlan plan;
        plan.handler = handler;
        plan.keyFrameEvery = 5;
        plan.positions = Consecutive(19);
        const std::string path = Write(std::string(code) + ".avi", plan);
        EXPECT_EQ(KeyPositions(path), expected) << code;
        std::vector<int> probed;
        for (const ProbedPacket& p : ProbePackets(path, 0))
            if (p.key) probed.push_back(static_cast<int>(p.pts));
        EXPECT_EQ(probed, expected) << code;
    }
}

TEST_F(QualityAndKeyFrames, IntraOnlyCompressorsMarkEveryFrame) {
    ClipPlan plan;
    plan.handler = MakeFourCC('M', 'J', 'P', 'G');
    plan.keyFrameEvery = 5;
    plan.positions = Consecutive(8);
    EXPECT_EQ(KeyPositions(Write("mjpeg.avi", plan)), Consecutive(8));
}

TEST_F(QualityAndKeyFrames, HigherQualityKeepsMoreOfThePicture) {
    for (const char* code : {"MJPG", "FMP4", "H264"}) {
        const std::uint32_t handler = MakeFourCC(code[0], code[1], code[2], code[3]);
        if (!ffmpeg::FindCompressor(handler)) continue;
        ClipPlan plan;
        plan.handler = handler;
        plan.positions = Consecutive(4);
        plan.quality = 10000;
        const std::string best = Write(std::string(code) + "-best.avi", plan);
        plan.quality = 1000;
        const std::string poor = Write(std::string(code) + "-poor.avi", plan);
        EXPECT_GT(TotalBytes(best), TotalBytes(poor)) << code;
        const Bitmap source = Pattern(plan.width, plan.height, 3);
        const double bestError = MeanDifference(DecodeFrames(best, plan.width, plan.height, 10).at(3), source);
        const double poorError = MeanDifference(DecodeFrames(poor, plan.width, plan.height, 10).at(3), source);
        EXPECT_LT(bestError, poorError) << code;
    }
}

TEST_F(QualityAndKeyFrames, LosslessCompressorsSpendQualityOnCompressionEffort) {
    for (const char* code : {"ZMBV", "MPNG"}) {
        const std::uint32_t handler = MakeFourCC(code[0], code[1], code[2], code[3]);
        if (!ffmpeg::FindCompressor(handler)) continue;
        ClipPlan plan;
        plan.handler = handler;
        plan.positions = Consecutive(4);
        plan.quality = 10000;  // the strongest compression level
        const std::string best = Write(std::string(code) + "-best.avi", plan);
        plan.quality = 1;  // no compression at all
        const std::string fastest = Write(std::string(code) + "-fastest.avi", plan);
        EXPECT_LT(TotalBytes(best), TotalBytes(fastest)) << code;
        // Either way the pictures are exact.
        EXPECT_EQ(MeanDifference(DecodeFrames(fastest, plan.width, plan.height, 10).at(2),
                                 Pattern(plan.width, plan.height, 2)),
                  0.0)
            << code;
    }
}

}  // namespace
}  // namespace tolm::testing
