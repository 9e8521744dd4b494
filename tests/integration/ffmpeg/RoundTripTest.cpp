#include <gtest/gtest.h>

#include <map>
#include <string>

#include "FfmpegTestSupport.h"
#include "platform/ffmpeg/CodecCatalog.h"

namespace tolm::testing {
namespace {

constexpr int kWidth = 96;
constexpr int kHeight = 64;
constexpr std::uint32_t kRate = 10;

bool Available(std::uint32_t handler) {
    return ffmpeg::FindCompressor(handler) != nullptr;
}

// What ffprobe calls the codec of each compressor's output.
const std::map<std::uint32_t, std::string>& CodecNames() {
    static const std::map<std::uint32_t, std::string> names = {
        {MakeFourCC('M', 'S', 'V', 'C'), "msvideo1"}, {MakeFourCC('M', 'J', 'P', 'G'), "mjpeg"},
        {MakeFourCC('Z', 'M', 'B', 'V'), "zmbv"},     {MakeFourCC('H', '2', '6', '4'), "h264"},
        {MakeFourCC('H', 'F', 'Y', 'U'), "huffyuv"},  {MakeFourCC('U', 'L', 'R', 'G'), "utvideo"},
        {MakeFourCC('F', 'M', 'P', '4'), "mpeg4"},    {MakeFourCC('c', 'v', 'i', 'd'), "cinepak"},
        {MakeFourCC('M', 'P', 'N', 'G'), "png"},
    };
    return names;
}

bool Lossless(std::uint32_t handler) {
    return handler == MakeFourCC('Z', 'M', 'B', 'V') || handler == MakeFourCC('H', 'F', 'Y', 'U') ||
           handler == MakeFourCC('U', 'L', 'R', 'G') || handler == MakeFourCC('M', 'P', 'N', 'G');
}

class RoundTrip : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string missing = MissingTools();
        ASSERT_TRUE(missing.empty()) << missing;
        video_ = MakeVideo();
        path_ = folder_.Path("clip.avi");
    }

    // ffprobe sees an 8-position stream at the rate, of the right size and codec.
    void ExpectProbed(const std::string& codec) {
        auto stream = ProbeStream(path_, 0);
        EXPECT_EQ(stream["codec_type"], "video");
        EXPECT_EQ(stream["codec_name"], codec);
        EXPECT_EQ(stream["width"], std::to_string(kWidth));
        EXPECT_EQ(stream["height"], std::to_string(kHeight));
        EXPECT_EQ(stream["nb_frames"], "8");
        EXPECT_EQ(stream["r_frame_rate"], std::to_string(kRate) + "/1");
    }

    // ffmpeg's pictures: the written ones close to the source and the right way up; the skipped ones
    // repeat the picture before them.
    void ExpectDecoded(double tolerance) {
        const auto frames = DecodeFrames(path_, kWidth, kHeight, kRate);
        ASSERT_EQ(frames.size(), 8u);
        for (int p : {0, 2, 4, 7}) {
            const Bitmap expected = Pattern(kWidth, kHeight, p);
            EXPECT_LE(MeanDifference(frames[p], expected), tolerance) << "position " << p;
            EXPECT_GT(MeanDifferenceFlipped(frames[p], expected), 40.0) << "position " << p;
        }
        EXPECT_TRUE(frames[1] == frames[0]);
        EXPECT_TRUE(frames[3] == frames[2]);
        EXPECT_TRUE(frames[5] == frames[4]);
        EXPECT_TRUE(frames[6] == frames[4]);
        EXPECT_FALSE(frames[2] == frames[0]);
    }

    // Our reader: 8 positions, data at the written ones only, key frame first.
    std::shared_ptr<AviStream> ExpectRead(std::uint32_t handler) {
        std::unique_ptr<AviFile> file;
        EXPECT_EQ(video_.library->OpenFile(path_, AviOpenMode::read, file), AVIERR_OK);
        if (!file) return nullptr;
        std::shared_ptr<AviStream> stream;
        EXPECT_EQ(file->GetStream(streamtypeVIDEO, 0, stream), AVIERR_OK);
        if (!stream) return nullptr;
        const AviStreamInfo info = stream->Info();
        EXPECT_EQ(info.fccType, streamtypeVIDEO);
        EXPECT_EQ(info.fccHandler, handler);
        EXPECT_EQ(info.dwLength, 8u);
        EXPECT_EQ(info.dwRate / info.dwScale, kRate);
        EXPECT_EQ(info.rcFrame.right, kWidth);
        EXPECT_EQ(info.rcFrame.bottom, kHeight);
        EXPECT_EQ(info.szName, "test clip");
        const std::vector<std::uint8_t> format = stream->Format();
        EXPECT_GE(format.size(), BitmapInfoHeader::kSize);
        if (format.size() >= BitmapInfoHeader::kSize) {
            const BitmapInfoHeader header = BitmapInfoHeader::ReadFrom(format.data());
            EXPECT_EQ(header.biWidth, kWidth);
            EXPECT_EQ(header.biHeight, kHeight);
            EXPECT_EQ(header.biCompression, handler);
        }
        std::vector<std::uint8_t> data;
        std::uint32_t flags = 0;
        for (int p = 0; p < 8; ++p) {
            EXPECT_EQ(stream->Read(p, data, flags), AVIERR_OK) << "position " << p;
            const bool written = p == 0 || p == 2 || p == 4 || p == 7;
            EXPECT_EQ(!data.empty(), written) << "position " << p;
            if (p == 0) {
                EXPECT_EQ(flags, AVIIF_KEYFRAME);
            }
        }
        EXPECT_EQ(stream->Read(8, data, flags), AVIERR_NODATA);
        return stream;
    }

    TempFolder folder_;
    Video video_;
    std::string path_;
};

class UncompressedRoundTrip : public RoundTrip, public ::testing::WithParamInterface<int> {};

TEST_P(UncompressedRoundTrip, PlaysBackTheSamePicturesAtTheirPositions) {
    ClipPlan plan;
    plan.bits = GetParam();
    ASSERT_EQ(WriteClip(*video_.library, path_, plan), AVIERR_OK);

    ExpectProbed("rawvideo");
    // RGB555 loses the low bits of each colour; every other depth holds the palette colours exactly.
    ExpectDecoded(plan.bits == 16 ? 4.0 : 0.0);

    const std::shared_ptr<AviStream> stream = ExpectRead(0);
    ASSERT_NE(stream, nullptr);
    const PackedDib first = MakeDib(Pattern(kWidth, kHeight, 0), plan.bits);
    const std::vector<std::uint8_t> format = stream->Format();
    EXPECT_EQ(format, std::vector<std::uint8_t>(first.Data(), first.Data() + first.FormatSize()));
    for (int p : {7, 0, 4, 2}) {  // backwards too
        const PackedDib dib = MakeDib(Pattern(kWidth, kHeight, p), plan.bits);
        std::vector<std::uint8_t> data;
        std::uint32_t flags = 0;
        ASSERT_EQ(stream->Read(p, data, flags), AVIERR_OK);
        EXPECT_EQ(data, std::vector<std::uint8_t>(dib.Bits(), dib.Bits() + dib.BitsSize())) << "position " << p;
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, UncompressedRoundTrip, ::testing::Values(8, 16, 24, 32),
                         [](const auto& info) { return std::to_string(info.param) + "bit"; });

class CompressedRoundTrip : public RoundTrip, public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(CompressedRoundTrip, PlaysBackAtTheRecordedPositions) {
    const std::uint32_t handler = GetParam();
    if (!Available(handler)) GTEST_SKIP() << FourCCToString(handler) << " has no encoder in this libavcodec";
    ClipPlan plan;
    plan.handler = handler;
    ASSERT_EQ(WriteClip(*video_.library, path_, plan), AVIERR_OK);

    ExpectProbed(CodecNames().at(handler));
    ExpectDecoded(Lossless(handler) ? 0.0 : 12.0);
    ExpectRead(handler);
}

INSTANTIATE_TEST_SUITE_P(Compressors, CompressedRoundTrip,
                         ::testing::Values(MakeFourCC('M', 'S', 'V', 'C'), MakeFourCC('M', 'J', 'P', 'G'),
                                           MakeFourCC('Z', 'M', 'B', 'V'), MakeFourCC('H', '2', '6', '4'),
                                           MakeFourCC('H', 'F', 'Y', 'U'), MakeFourCC('U', 'L', 'R', 'G'),
                                           MakeFourCC('F', 'M', 'P', '4'), MakeFourCC('c', 'v', 'i', 'd'),
                                           MakeFourCC('M', 'P', 'N', 'G')),
                         [](const auto& info) { return FourCCToString(info.param); });

// Frames of every depth reach the encoders, converted to what each takes.
class CompressedDepths : public RoundTrip, public ::testing::WithParamInterface<std::tuple<std::uint32_t, int>> {};

TEST_P(CompressedDepths, DecodeCloseToTheSource) {
    const auto [handler, bits] = GetParam();
    if (!Available(handler)) GTEST_SKIP() << FourCCToString(handler) << " has no encoder in this libavcodec";
    ClipPlan plan;
    plan.handler = handler;
    plan.bits = bits;
    ASSERT_EQ(WriteClip(*video_.library, path_, plan), AVIERR_OK);
    ExpectDecoded(Lossless(handler) && bits != 16 ? 0.0 : 12.0);
}

INSTANTIATE_TEST_SUITE_P(Conversions, CompressedDepths,
                         ::testing::Values(std::make_tuple(MakeFourCC('Z', 'M', 'B', 'V'), 8),
                                           std::make_tuple(MakeFourCC('Z', 'M', 'B', 'V'), 16),
                                           std::make_tuple(MakeFourCC('Z', 'M', 'B', 'V'), 24),
                                           std::make_tuple(MakeFourCC('M', 'S', 'V', 'C'), 16),
                                           std::make_tuple(MakeFourCC('M', 'S', 'V', 'C'), 8),
                                           std::make_tuple(MakeFourCC('H', '2', '6', '4'), 24),
                                           std::make_tuple(MakeFourCC('H', 'F', 'Y', 'U'), 8),
                                           std::make_tuple(MakeFourCC('M', 'J', 'P', 'G'), 16)),
                         [](const auto& info) {
                             return FourCCToString(std::get<0>(info.param)) + "_" +
                                    std::to_string(std::get<1>(info.param)) + "bit";
                         });

}  // namespace
}  // namespace tolm::testing
