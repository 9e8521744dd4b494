// How pictures from the stream become our rows and grab areas, without a desktop.
#include <gtest/gtest.h>
#include <spa/param/video/raw.h>

#include <array>
#include <climits>
#include <cstdint>
#include <vector>

#include "imaging/Bitmap.h"
#include "platform/portal/FrameStore.h"
#include "platform/portal/PixelLayouts.h"
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

TEST(FrameStore, AnEndedStreamFailsWithItsReason) {
    FrameStore store;
    store.End("The desktop's screen sharing ended.");
    Bitmap image(1, 1);
    std::string problem;
    EXPECT_FALSE(store.Cut(Rect{0, 0, 1, 1}, Point{}, image.Rows(), 0ms, problem));
    EXPECT_EQ(problem, "The desktop's screen sharing ended.");
}

}  // namespace
}  // namespace tolm::portal
