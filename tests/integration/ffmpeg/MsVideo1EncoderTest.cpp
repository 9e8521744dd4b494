#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "FfmpegTestSupport.h"
#include "platform/ffmpeg/FrameDecoder.h"

namespace tolm::testing {
namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr int kFrames = 10;
constexpr std::uint32_t kMSVC = MakeFourCC('M', 'S', 'V', 'C');

// Pattern's flat screen with what needs more than two colours a block: a colour ramp, and a disc with soft
// edges that moves over it.
Bitmap Scene(int width, int height, int position) {
    Bitmap image = Pattern(width, height, position);
    for (int y = height * 5 / 8; y < height * 6 / 8; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t r = static_cast<std::uint32_t>(x * 255 / width);
            image.SetPixelRGB(x, y, r << 16 | static_cast<std::uint32_t>(y * 2) << 8 | (255 - r));
        }
    const double cx = 20 + 11.5 * position, cy = height * 0.7, radius = 14;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double cover = std::clamp(radius - std::hypot(x - cx, y - cy), 0.0, 1.0);
            if (cover == 0) continue;
            const std::uint32_t under = image.PixelRGB(x, y);
            std::uint32_t mixed = 0;
            for (int shift : {0, 8, 16}) {
                const double fg = (0xE0E040u >> shift & 0xFF), bg = (under >> shift & 0xFF);
                mixed |= static_cast<std::uint32_t>(std::lround(bg + cover * (fg - bg))) << shift;
            }
            image.SetPixelRGB(x, y, mixed);
        }
    return image;
}

Bitmap StillScene(int width, int height, int) {
    return Scene(width, height, 3);
}

// Peak signal to noise ratio of decoded top-down B,G,R,0 pictures against the scene, over all of them.
double Psnr(const std::vector<std::vector<std::uint8_t>>& decoded) {
    double squares = 0;
    std::size_t samples = 0;
    for (std::size_t p = 0; p < decoded.size(); ++p) {
        const Bitmap source = Scene(kWidth, kHeight, static_cast<int>(p));
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const std::uint32_t rgb = source.PixelRGB(x, y);
                const std::uint8_t* px = decoded[p].data() + (static_cast<std::size_t>(y) * kWidth + x) * 4;
                for (int c = 0; c < 3; ++c) {
                    const double d = px[c] - static_cast<double>(rgb >> (8 * c) & 0xFF);
                    squares += d * d;
                    ++samples;
                }
            }
    }
    return samples ? 10 * std::log10(255.0 * 255.0 * static_cast<double>(samples) / squares) : 0;
}

class MsVideo1Encoder : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string missing = MissingTools();
        ASSERT_TRUE(missing.empty()) << missing;
        video_ = MakeVideo();
    }

    // Our encoder's clip of the scene through the AVI library, as the engine records.
    std::string Ours(std::uint32_t quality, Bitmap (*picture)(int, int, int) = Scene) {
        ClipPlan plan;
        plan.width = kWidth;
        plan.height = kHeight;
        plan.handler = kMSVC;
        plan.quality = quality;
        plan.positions.resize(kFrames);
        std::iota(plan.positions.begin(), plan.positions.end(), 0);
        plan.picture = picture;
        const std::string path = folder_.Path("ours-" + std::to_string(quality) + ".avi");
        EXPECT_EQ(WriteClip(*video_.library, path, plan), AVIERR_OK);
        return path;
    }

    // libavcodec's own encoder of the format on the same pictures, through the ffmpeg program.
    std::string Theirs() {
        const std::string raw = folder_.Path("scene.bgr0");
        FILE* out = std::fopen(raw.c_str(), "wb");
        if (!out) return "";
        for (int p = 0; p < kFrames; ++p) {
            const Bitmap image = Scene(kWidth, kHeight, p);
            for (int y = 0; y < kHeight; ++y) std::fwrite(image.ScanLine(y), 4, kWidth, out);
        }
        std::fclose(out);
        const std::string path = folder_.Path("theirs.avi");
        int status = 0;
        RunCommand(std::string(kFfmpeg) + " -v error -nostdin -y -f rawvideo -pix_fmt bgr0 -s " +
                       std::to_string(kWidth) + "x" + std::to_string(kHeight) + " -r 10 -i " + Quote(raw) +
                       " -c:v msvideo1 " + Quote(path),
                   status);
        EXPECT_EQ(status, 0);
        return path;
    }

    static std::vector<std::vector<std::uint8_t>> Decoded(const std::string& path) {
        return DecodeFrames(path, kWidth, kHeight, 10);
    }

    // The clip read with our reader and decoded as a re-encoding save does, as top-down B,G,R,0 pictures.
    std::vector<std::vector<std::uint8_t>> ReadBack(const std::string& path) {
        std::vector<std::vector<std::uint8_t>> pictures;
        std::unique_ptr<AviFile> file;
        std::shared_ptr<AviStream> stream;
        std::unique_ptr<ffmpeg::FrameDecoder> decoder;
        if (video_.library->OpenFile(path, AviOpenMode::read, file) != AVIERR_OK ||
            file->GetStream(streamtypeVIDEO, 0, stream) != AVIERR_OK ||
            ffmpeg::FrameDecoder::Open(stream->Format(), decoder) != AVIERR_OK)
            return pictures;
        const std::size_t row = kWidth * 4;
        auto keep = [&](std::int64_t, const std::uint8_t* bits, std::size_t size) {
            if (size < row * kHeight) return AVIERR_BADSIZE;
            std::vector<std::uint8_t> picture(row * kHeight);
            for (int y = 0; y < kHeight; ++y)  // the DIB's rows run bottom-up
                std::copy_n(bits + (kHeight - 1 - y) * row, row,
                            picture.begin() + static_cast<std::ptrdiff_t>(y * row));
            pictures.push_back(std::move(picture));
            return AVIERR_OK;
        };
        std::vector<std::uint8_t> data;
        std::uint32_t flags = 0;
        for (int p = 0; stream->Read(p, data, flags) == AVIERR_OK; ++p)
            EXPECT_EQ(decoder->Decode(data.data(), data.size(), p, keep), AVIERR_OK) << "position " << p;
        EXPECT_EQ(decoder->Flush(keep), AVIERR_OK);
        return pictures;
    }

    TempFolder folder_;
    Video video_;
};

TEST_F(MsVideo1Encoder, DecodesNoWorseThanLibavcodecsEncoderAtEachQuality) {
    const auto theirs = Decoded(Theirs());
    ASSERT_EQ(theirs.size(), static_cast<std::size_t>(kFrames));
    const double floor = Psnr(theirs);
    for (std::uint32_t quality : {1u, 3000u, 7000u, 10000u}) {
        const std::string path = Ours(quality);
        const auto decoded = Decoded(path);
        ASSERT_EQ(decoded.size(), static_cast<std::size_t>(kFrames)) << quality;
        EXPECT_GE(Psnr(decoded), floor) << "quality " << quality;
        const auto read = ReadBack(path);
        ASSERT_EQ(read.size(), static_cast<std::size_t>(kFrames)) << quality;
        EXPECT_GE(Psnr(read), floor) << "quality " << quality << " through our reader";
    }
}

TEST_F(MsVideo1Encoder, HigherQualityKeepsMoreOfThePicture) {
    const std::string best = Ours(10000);
    const std::string poor = Ours(1);
    EXPECT_GT(Psnr(Decoded(best)), Psnr(Decoded(poor)));
    auto bytes = [](const std::string& path) {
        long total = 0;
        for (const ProbedPacket& p : ProbePackets(path, 0)) total += p.size;
        return total;
    };
    EXPECT_GT(bytes(best), bytes(poor));
}

TEST_F(MsVideo1Encoder, UnchangedFramesCostOnlyTheirSkipCodes) {
    const std::string path = Ours(10000, StillScene);
    const std::vector<ProbedPacket> packets = ProbePackets(path, 0);
    ASSERT_EQ(packets.size(), static_cast<std::size_t>(kFrames));
    for (std::size_t p = 1; p < packets.size(); ++p) EXPECT_LE(packets[p].size, 16) << "position " << p;
    const auto decoded = Decoded(path);
    ASSERT_EQ(decoded.size(), static_cast<std::size_t>(kFrames));
    for (std::size_t p = 1; p < decoded.size(); ++p) EXPECT_TRUE(decoded[p] == decoded[0]) << "position " << p;
}

}  // namespace
}  // namespace tolm::testing
