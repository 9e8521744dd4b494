// How pictures from the stream become our rows and grab areas, without a desktop.
#include <gtest/gtest.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/raw.h>

#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/Bitmap.h"
#include "platform/portal/FrameStore.h"
#include "platform/portal/PictureCopy.h"
#include "platform/portal/PixelLayouts.h"
#include "platform/portal/PointerMetadata.h"
#include "platform/portal/ScreenCastSession.h"

namespace tolm::portal {
namespace {

using namespace std::chrono_literals;

TEST(PixelLayouts, BringsEveryByteOrderToBlueGreenRedZero) {
    struct Case {
        std::uint32_t format;
        std::array<std::uint8_t, 4> in;
    };
    // Red 0x11, green 0x22, blue 0x33, alpha or padding 0x44.
    for (const Case& c :
         {Case{SPA_VIDEO_FORMAT_BGRx, {0x33, 0x22, 0x11, 0x44}}, Case{SPA_VIDEO_FORMAT_RGBA, {0x11, 0x22, 0x33, 0x44}},
          Case{SPA_VIDEO_FORMAT_xRGB, {0x44, 0x11, 0x22, 0x33}},
          Case{SPA_VIDEO_FORMAT_ABGR, {0x44, 0x33, 0x22, 0x11}}}) {
        const auto order = ByteOrderOf(c.format);
        ASSERT_TRUE(order.has_value()) << c.format;
        std::array<std::uint8_t, 4> out{};
        ConvertRow(c.in.data(), out.data(), 1, *order);
        EXPECT_EQ(out, (std::array<std::uint8_t, 4>{0x33, 0x22, 0x11, 0})) << c.format;
    }
    EXPECT_FALSE(ByteOrderOf(SPA_VIDEO_FORMAT_I420).has_value());
}

TEST(PixelLayouts, PremultipliesPointerImages) {
    const std::uint8_t halfWhite[4] = {0xff, 0xff, 0xff, 0x80};  // RGBA
    std::uint32_t argb = 0;
    ConvertPointerRow(halfWhite, &argb, 1, *ByteOrderOf(SPA_VIDEO_FORMAT_RGBA));
    EXPECT_EQ(argb, 0x80808080u);
}

TEST(CursorModes, MetadataWhereOfferedElseThePaintedPointerOnlyWhenWanted) {
    EXPECT_EQ(ChooseCursorMode(kCursorHidden | kCursorEmbedded | kCursorMetadata, false), kCursorMetadata);
    EXPECT_EQ(ChooseCursorMode(kCursorHidden | kCursorEmbedded, true), kCursorEmbedded);
    EXPECT_EQ(ChooseCursorMode(kCursorHidden | kCursorEmbedded, false), kCursorHidden);
}

// A 3x2 BGRx picture in rows of 16 bytes (4 of padding) whose pixel (x, y) has blue 10*y + x.
class PictureCopyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3; ++x) memory_[y * 16 + x * 4] = static_cast<std::uint8_t>(10 * y + x);
        }
        data_.type = SPA_DATA_MemPtr;
        data_.maxsize = sizeof(memory_);
        data_.data = memory_;
        data_.chunk = &chunk_;
        chunk_ = spa_chunk{0, sizeof(memory_), 16, 0};
    }
    bool Copy(std::vector<std::uint8_t>& pixels, int& width, int& height) {
        spa_buffer buffer{static_cast<std::uint32_t>(metas_.size()), 1, metas_.data(), &data_};
        return CopyPicture(buffer, PictureFormat{*ByteOrderOf(SPA_VIDEO_FORMAT_BGRx), 3, 2}, pixels, width, height);
    }

    std::uint8_t memory_[32] = {};
    spa_chunk chunk_{};
    spa_data data_{};
    std::vector<spa_meta> metas_;
};

TEST_F(PictureCopyTest, FollowsTheStride) {
    std::vector<std::uint8_t> pixels;
    int width = 0;
    int height = 0;
    ASSERT_TRUE(Copy(pixels, width, height));
    ASSERT_EQ(pixels.size(), 3u * 2 * 4);
    EXPECT_EQ(pixels[(1 * 3 + 2) * 4], 12);  // (2, 1)
}

TEST_F(PictureCopyTest, CutsToTheCropRegion) {
    spa_meta_region crop{{{1, 1}, {2, 1}}};
    metas_.push_back(spa_meta{SPA_META_VideoCrop, sizeof(crop), &crop});
    std::vector<std::uint8_t> pixels;
    int width = 0;
    int height = 0;
    ASSERT_TRUE(Copy(pixels, width, height));
    ASSERT_EQ(width, 2);
    ASSERT_EQ(height, 1);
    EXPECT_EQ(pixels[0], 11);
    EXPECT_EQ(pixels[4], 12);
}

TEST_F(PictureCopyTest, BringsNoPictureFromAShortCorruptedOrEmptyBuffer) {
    std::vector<std::uint8_t> pixels;
    int width = 0;
    int height = 0;
    data_.maxsize = 16 + 11;  // the last row's last pixel missing
    EXPECT_FALSE(Copy(pixels, width, height));
    data_.maxsize = sizeof(memory_);
    chunk_.flags = SPA_CHUNK_FLAG_CORRUPTED;
    EXPECT_FALSE(Copy(pixels, width, height));
    chunk_ = spa_chunk{0, 0, 16, 0};
    EXPECT_FALSE(Copy(pixels, width, height));
}

// Cursor metadata as a desktop lays it out: the cursor, then a bitmap header, then a 2x1 RGBA image.
class PointerMetadataRead : public ::testing::Test {
  protected:
    void SetUp() override {
        auto* cursor = reinterpret_cast<spa_meta_cursor*>(bytes_.data());
        *cursor = spa_meta_cursor{7, 0, {30, 40}, {1, 0}, sizeof(spa_meta_cursor)};
        auto* bitmap = reinterpret_cast<spa_meta_bitmap*>(bytes_.data() + sizeof(spa_meta_cursor));
        *bitmap = spa_meta_bitmap{SPA_VIDEO_FORMAT_RGBA, {2, 1}, 8, sizeof(spa_meta_bitmap)};
        const std::uint8_t pixels[8] = {0xff, 0, 0, 0xff, 0, 0, 0, 0};  // opaque red, transparent
        std::memcpy(bytes_.data() + sizeof(spa_meta_cursor) + sizeof(spa_meta_bitmap), pixels, sizeof(pixels));
    }
    bool Read(std::uint32_t metaSize, PointerUpdate& update) {
        spa_meta meta{SPA_META_Cursor, metaSize, bytes_.data()};
        spa_buffer buffer{1, 0, &meta, nullptr};
        return ReadPointerMetadata(&buffer, update);
    }

    alignas(8) std::array<std::uint8_t, sizeof(spa_meta_cursor) + sizeof(spa_meta_bitmap) + 8> bytes_{};
};

TEST_F(PointerMetadataRead, TakesPositionHotspotAndImage) {
    PointerUpdate update;
    ASSERT_TRUE(Read(bytes_.size(), update));
    EXPECT_EQ(update.position, (Point{30, 40}));
    EXPECT_EQ(update.hotspot, (Point{1, 0}));
    ASSERT_TRUE(update.hasImage);
    EXPECT_EQ(update.argb, (std::vector<std::uint32_t>{0xffff0000u, 0u}));
}

TEST_F(PointerMetadataRead, IgnoresAnImageReachingPastTheMetadata) {
    PointerUpdate update;
    ASSERT_TRUE(Read(bytes_.size() - 1, update));
    EXPECT_EQ(update.position, (Point{30, 40}));
    EXPECT_FALSE(update.hasImage);
}

// A 4x3 picture whose pixel (x, y) holds blue x+1, green y+1.
class FrameStoreCut : public ::testing::Test {
  protected:
    void SetUp() override {
        std::vector<std::uint8_t> pixels(4 * 3 * 4);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 4; ++x) {
                pixels[(y * 4 + x) * 4] = static_cast<std::uint8_t>(x + 1);
                pixels[(y * 4 + x) * 4 + 1] = static_cast<std::uint8_t>(y + 1);
            }
        }
        store_.Publish(pixels, 4, 3);
    }

    Bitmap Cut(const Rect& area, Point origin) {
        Bitmap image(area.width, area.height);
        image.Fill(0xffffff);
        std::string problem;
        EXPECT_TRUE(store_.Cut(area, origin, image.Rows(), 0ms, problem)) << problem;
        return image;
    }

    FrameStore store_;
};

TEST_F(FrameStoreCut, TakesPixelsFromTheirPlaceAndBlackensTheRest) {
    // The picture lies at (10, 20) on the desktop; the area reaches past its top left corner.
    const Bitmap image = Cut(Rect{9, 19, 3, 3}, Point{10, 20});
    EXPECT_EQ(image.PixelRGB(0, 0), 0u);
    EXPECT_EQ(image.PixelRGB(2, 0), 0u);
    EXPECT_EQ(image.PixelRGB(0, 2), 0u);
    EXPECT_EQ(image.PixelRGB(1, 1), 0x000101u);  // picture (0, 0)
    EXPECT_EQ(image.PixelRGB(2, 2), 0x000202u);  // picture (1, 1)
}

TEST_F(FrameStoreCut, AreasAtTheIntLimitsAreBlack) {
    const Bitmap image = Cut(Rect{INT_MAX - 1, INT_MIN, 2, 2}, Point{0, 0});
    EXPECT_EQ(image.PixelRGB(0, 0), 0u);
    EXPECT_EQ(image.PixelRGB(1, 1), 0u);
}

// Pictures come on the desktop's clock, grabs on the timeline's: two between two grabs must both be recorded, in
// order, but a held-back picture must not be shown once it is stale.
TEST(FrameStore, APictureNoGrabTookWaitsForTheNextGrabWhileItIsRecent) {
    FrameStore store;
    const auto t0 = FrameStore::Clock::now();
    auto publish = [&](std::uint8_t blue, std::chrono::milliseconds at) {
        std::vector<std::uint8_t> pixels{blue, 0, 0, 0};
        store.Publish(pixels, 1, 1, t0 + at);
    };
    auto cut = [&](std::chrono::milliseconds at) {
        Bitmap image(1, 1);
        std::string problem;
        EXPECT_TRUE(store.Cut(Rect{0, 0, 1, 1}, Point{}, image.Rows(), 0ms, problem, t0 + at)) << problem;
        return image.PixelRGB(0, 0);
    };
    std::uint64_t seen = 0;
    publish(1, 0ms);
    publish(2, 16ms);
    EXPECT_TRUE(store.ChangedSince(seen));
    EXPECT_EQ(cut(18ms), 1u);
    EXPECT_TRUE(store.ChangedSince(seen));  // picture 2 is still to be taken
    EXPECT_EQ(cut(38ms), 2u);
    EXPECT_FALSE(store.ChangedSince(seen));

    publish(3, 100ms);
    publish(4, 110ms);
    EXPECT_EQ(cut(100ms + FrameStore::kHoldFor + 1ms), 4u);
}

// A still screen's grabs are left out; the end must bring one, or the last picture stands to the end.
TEST(FrameStore, AnEndedStreamCountsAsAChangeAndFailsWithItsReason) {
    FrameStore store;
    std::vector<std::uint8_t> pixels{1, 0, 0, 0};
    store.Publish(pixels, 1, 1);
    Bitmap image(1, 1);
    std::string problem;
    ASSERT_TRUE(store.Cut(Rect{0, 0, 1, 1}, Point{}, image.Rows(), 0ms, problem)) << problem;
    std::uint64_t seen = 0;
    store.ChangedSince(seen);
    store.End("The desktop's screen sharing ended.");
    EXPECT_TRUE(store.ChangedSince(seen));
    EXPECT_FALSE(store.Cut(Rect{0, 0, 1, 1}, Point{}, image.Rows(), 0ms, problem));
    EXPECT_EQ(problem, "The desktop's screen sharing ended.");
}

}  // namespace
}  // namespace tolm::portal
