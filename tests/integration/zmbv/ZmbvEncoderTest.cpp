// Our ZMBV encoder against libavcodec's decoder of the format: every frame must decode to its picture exactly.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "integration/ffmpeg/FfmpegTestSupport.h"
#include "platform/ffmpeg/AvHandles.h"
#include "platform/screencodecs/ZmbvEncoder.h"

namespace tolm {
namespace {

using screencodecs::EncoderSettings;
using screencodecs::Picture;
using screencodecs::ZmbvEncoder;
using Pixels = std::vector<std::uint8_t>;

// The test pattern with a band of text-like strokes scrolling up three rows a frame, so blocks are unchanged,
// moved and new.
Bitmap Scene(int width, int height, int position) {
    Bitmap image = testing::Pattern(width, height, position);
    for (int y = height / 4; y < height * 3 / 4; ++y) {
        const int line = y + 3 * position;
        for (int x = 0; x < width; ++x) {
            const bool stroke = line % 11 < 7 && (x / 3 * 7 + line / 11 * 5 + x * line % 3) % 4 == 0;
            image.SetPixelRGB(x, y, stroke ? 0xD4D4D4u ^ static_cast<std::uint32_t>(line % 5) * 0x203040u : 0x1E1E28u);
        }
    }
    return image;
}

// B,G,R,0 rows without padding.
struct Frame {
    int width;
    int height;
    Pixels bytes;
    Picture View() const { return Picture{bytes.data(), static_cast<std::ptrdiff_t>(width) * 4, width, height}; }
};

Frame SceneFrame(int width, int height, int position) {
    const Bitmap image = Scene(width, height, position);
    return Frame{width, height, Pixels(image.Bits(), image.Bits() + image.ByteSize())};
}

Frame Noise(int width, int height, std::mt19937& random) {
    Frame frame{width, height, Pixels(static_cast<std::size_t>(width) * height * 4)};
    for (std::uint8_t& b : frame.bytes) b = static_cast<std::uint8_t>(random());
    return frame;
}

// libavcodec's ZMBV decoder.
class Judge {
  public:
    Judge(int width, int height) : width_(width), height_(height) {
        const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_ZMBV);
        if (!codec) throw std::runtime_error("no ZMBV decoder");
        context_.reset(avcodec_alloc_context3(codec));
        context_->width = width;
        context_->height = height;
        context_->bits_per_coded_sample = 32;
        if (avcodec_open2(context_.get(), codec, nullptr) < 0) throw std::runtime_error("decoder not opened");
    }

    // The picture the packet decodes to; empty when the decoder refuses the packet.
    Pixels Decode(const Pixels& data) {
        ffmpeg::AvPacketPtr packet(av_packet_alloc());
        ffmpeg::AvFramePtr frame(av_frame_alloc());
        if (av_new_packet(packet.get(), static_cast<int>(data.size())) < 0) return {};
        std::memcpy(packet->data, data.data(), data.size());
        if (avcodec_send_packet(context_.get(), packet.get()) < 0) return {};
        if (avcodec_receive_frame(context_.get(), frame.get()) < 0) return {};
        const std::size_t row = static_cast<std::size_t>(width_) * 4;
        Pixels out(row * height_);
        for (int y = 0; y < height_; ++y)
            std::memcpy(out.data() + row * y, frame->data[0] + static_cast<std::ptrdiff_t>(y) * frame->linesize[0],
                        row);
        return out;
    }

  private:
    int width_;
    int height_;
    ffmpeg::AvCodecContextPtr context_;
};

struct Encoded {
    Pixels packet;
    bool key = false;
};

class ZmbvEncoderTest : public ::testing::Test {
  protected:
    void Open(int width, int height, std::uint32_t keyFrameEvery = 0) {
        encoder_ = std::make_unique<ZmbvEncoder>(EncoderSettings{width, height, 7000, keyFrameEvery});
        judge_ = std::make_unique<Judge>(width, height);
    }

    Encoded Encode(const Picture& picture, bool forceKey = false) {
        Encoded out;
        out.key = forceKey;
        encoder_->Encode(picture, out.key, out.packet);
        return out;
    }

    // Encodes and decodes the frame; true when the decoder gives back exactly its picture.
    bool RoundTrip(const Frame& frame, Encoded* encoded = nullptr) {
        Encoded e = Encode(frame.View());
        const bool same = judge_->Decode(e.packet) == frame.bytes;
        if (encoded) *encoded = std::move(e);
        return same;
    }

    std::unique_ptr<ZmbvEncoder> encoder_;
    std::unique_ptr<Judge> judge_;
};

TEST_F(ZmbvEncoderTest, MovingSceneDecodesToItsPictures) {
    // Partial blocks at the right and bottom; key frames and the frames between them.
    Open(150, 100, 5);
    for (int position = 0; position < 12; ++position)
        EXPECT_TRUE(RoundTrip(SceneFrame(150, 100, position))) << "frame " << position;
}

TEST_F(ZmbvEncoderTest, RowsAreReadAtTheirStride) {
    Open(40, 30);
    for (int position = 0; position < 3; ++position) {
        const Frame frame = SceneFrame(40, 30, position);
        // Each row followed by bytes that are not the picture's; then the rows bottom-up, as a DIB holds them.
        const std::size_t row = 40 * 4;
        const std::size_t stride = row + 12;
        Pixels padded(stride * 30, 0xAB);
        for (int y = 0; y < 30; ++y) std::memcpy(padded.data() + stride * (29 - y), frame.bytes.data() + row * y, row);
        const Picture picture{padded.data() + stride * 29, -static_cast<std::ptrdiff_t>(stride), 40, 30};
        EXPECT_EQ(judge_->Decode(Encode(picture).packet), frame.bytes) << "frame " << position;
    }
}

TEST_F(ZmbvEncoderTest, UnchangedFrameIsTiny) {
    Open(640, 480);
    const Frame frame = SceneFrame(640, 480, 3);
    ASSERT_TRUE(RoundTrip(frame));
    Encoded repeat;
    ASSERT_TRUE(RoundTrip(frame, &repeat));
    EXPECT_FALSE(repeat.key);
    EXPECT_LE(repeat.packet.size(), 32u);
}

TEST_F(ZmbvEncoderTest, ScrolledPictureCostsLittleMoreThanItsNewRows) {
    // Noise does not compress: only what the motion search finds keeps the second frame small.
    std::mt19937 random(15);
    Open(256, 256);
    const Frame first = Noise(256, 256, random);
    Frame scrolled = Noise(256, 256, random);
    const std::size_t row = 256 * 4;
    std::memcpy(scrolled.bytes.data(), first.bytes.data() + 5 * row, 251 * row);
    Encoded key, delta;
    ASSERT_TRUE(RoundTrip(first, &key));
    ASSERT_TRUE(RoundTrip(scrolled, &delta));
    // The last row of blocks holds the new rows; everything else is a vector.
    EXPECT_LT(delta.packet.size(), key.packet.size() / 8);
}

TEST_F(ZmbvEncoderTest, KeyFramesComeAtTheIntervalFromTheLastOne) {
    Open(64, 48, 4);
    const Frame frame = SceneFrame(64, 48, 0);
    std::vector<int> keys;
    for (int i = 0; i < 11; ++i) {
        const Encoded e = Encode(frame.View(), i == 6);
        ASSERT_FALSE(e.packet.empty());
        EXPECT_EQ(e.key, (e.packet[0] & 1) != 0) << "frame " << i;
        if (e.key) keys.push_back(i);
    }
    EXPECT_EQ(keys, (std::vector<int>{0, 4, 6, 10}));
}

TEST_F(ZmbvEncoderTest, RecordingDecodesToItsPicturesInEitherReader) {
    ASSERT_EQ(testing::MissingTools(), "");
    testing::ClipPlan plan;
    plan.width = 150;
    plan.height = 100;
    plan.handler = MakeFourCC('Z', 'M', 'B', 'V');
    plan.keyFrameEvery = 4;
    plan.positions = {0, 1, 2, 3, 4, 5, 6};
    plan.picture = Scene;
    const testing::TempFolder folder;
    const std::string path = folder.Path("zmbv.avi");
    testing::Video video = testing::MakeVideo();
    ASSERT_EQ(testing::WriteClip(*video.library, path, plan), AVIERR_OK);

    const auto decoded = testing::DecodeFrames(path, plan.width, plan.height, static_cast<int>(plan.rate));
    ASSERT_EQ(decoded.size(), plan.positions.size());
    for (int p : plan.positions)
        EXPECT_EQ(testing::MeanDifference(decoded[p], Scene(plan.width, plan.height, p)), 0.0) << "position " << p;

    // The packets as our reader gives them.
    std::unique_ptr<AviFile> file;
    std::shared_ptr<AviStream> stream;
    ASSERT_EQ(video.library->OpenFile(path, AviOpenMode::read, file), AVIERR_OK);
    ASSERT_EQ(file->GetStream(streamtypeVIDEO, 0, stream), AVIERR_OK);
    Judge judge(plan.width, plan.height);
    for (int p : plan.positions) {
        Pixels data;
        std::uint32_t flags = 0;
        ASSERT_EQ(stream->Read(p, data, flags), AVIERR_OK);
        EXPECT_EQ(testing::MeanDifference(judge.Decode(data), Scene(plan.width, plan.height, p)), 0.0)
            << "position " << p;
    }
}

TEST_F(ZmbvEncoderTest, PictureOfAnotherSizeIsRefused) {
    Open(64, 48);
    const Frame frame = SceneFrame(64, 40, 0);
    EXPECT_THROW(Encode(frame.View()), std::invalid_argument);
}

}  // namespace
}  // namespace tolm
