#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "X11TestClient.h"
#include "platform/x11/X11ScreenSource.h"

namespace tolm {

void PrintTo(X11GrabMethod method, std::ostream* out) {
    *out << (method == X11GrabMethod::Auto ? "Auto" : "GetImage");
}

namespace testing {
namespace {

// The tests of one process may run beside those of others on the same display, so every test keeps its
// windows at places of its own.
class X11GrabTest : public ::testing::TestWithParam<X11GrabMethod> {
  protected:
    void SetUp() override {
        TOLM_SKIP_WITHOUT_DISPLAY();
        ASSERT_TRUE(client_.Connected());
        std::string error;
        source_ = CreateX11ScreenSource("", error, GetParam());
        ASSERT_NE(source_, nullptr) << error;
        root_ = client_.RootArea();
    }

    // Grabs `area` until the window shows in it; the grab must succeed and show it.
    void ExpectBlocks(const Rect& area, const BlockWindow& window, Bitmap& dst) {
        ASSERT_TRUE(GrabUntil(*source_, area, dst, client_, [&](const Bitmap& image) {
            return ShowsBlocks(image, area, window);
        })) << source_->LastError();
        ASSERT_EQ(dst.Width(), area.width);
        ASSERT_EQ(dst.Height(), area.height);
        ASSERT_EQ(dst.PixelFormat(), TPixelFormat::pf32bit);
        EXPECT_TRUE(ShowsBlocks(dst, area, window));
    }

    X11TestClient client_;
    std::unique_ptr<ScreenSource> source_;
    Rect root_;
};

TEST_P(X11GrabTest, ShowsKnownColoursAtTheirPlace) {
    const BlockWindow window = client_.ShowBlocks({300, 200});
    Bitmap exact(3, 3, TPixelFormat::pf8bit);  // becomes the area's size in pf32bit
    ExpectBlocks(window.Area(), window, exact);

    // Offset inside a larger area, so a swapped or shifted copy shows.
    Bitmap around;
    const Rect area{290, 193, 84, 63};
    ExpectBlocks(area, window, around);
    EXPECT_EQ(around.PixelRGB(10, 7), BlockWindow::kColours[0]);
    EXPECT_EQ(around.PixelRGB(10 + 63, 7 + 47), BlockWindow::kColours[3]);

    // The fourth byte of every pixel is zero, whatever the server keeps there.
    for (int y = 0; y < exact.Height(); ++y) {
        for (int x = 0; x < exact.Width(); ++x) ASSERT_EQ(exact.ScanLine(y)[4 * x + 3], 0) << x << "," << y;
    }
}

TEST_P(X11GrabTest, AreaOverTopLeftEdgeIsBlackOutside) {
    const BlockWindow window = client_.ShowBlocks({0, 0});
    const Rect area{-20, -10, 100, 80};
    Bitmap dst(area.width, area.height);
    dst.Fill(0xFFFFFF);  // a reused image must lose its old content outside the screen
    ExpectBlocks(area, window, dst);
    EXPECT_EQ(LitPixelsOffRoot(dst, area, root_), 0);
}

TEST_P(X11GrabTest, AreaOverBottomRightEdgeIsBlackOutside) {
    const BlockWindow window =
        client_.ShowBlocks({root_.Right() - BlockWindow::kWidth, root_.Bottom() - BlockWindow::kHeight});
    const Rect area{window.origin.x - 8, window.origin.y - 6, BlockWindow::kWidth + 48, BlockWindow::kHeight + 36};
    Bitmap dst(area.width, area.height);
    dst.Fill(0xFFFFFF);
    ExpectBlocks(area, window, dst);
    EXPECT_EQ(LitPixelsOffRoot(dst, area, root_), 0);
}

// Rows stored bottom-up, as a DIB keeps them, take the same picture as an image does, black border included.
// The area is a full frame's size, which is copied past the caches, and starts off the screen, so the rows
// begin at an odd place.
TEST_P(X11GrabTest, GrabsLargeAreasIntoBottomUpRows) {
    const BlockWindow window = client_.ShowBlocks({0, 700});
    const Rect area{-6, 40, 1400, 760};
    Bitmap image;
    ExpectBlocks(area, window, image);
    EXPECT_EQ(LitPixelsOffRoot(image, area, root_), 0);
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) ASSERT_EQ(image.ScanLine(y)[4 * x + 3], 0) << x << "," << y;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(area.width) * 4;
    std::vector<std::uint8_t> stored(rowBytes * static_cast<std::size_t>(area.height), 0xFF);
    const PixelRows rows{stored.data() + rowBytes * static_cast<std::size_t>(area.height - 1),
                         -static_cast<std::ptrdiff_t>(rowBytes), area.width, area.height};
    ASSERT_TRUE(source_->GrabInto(area, rows)) << source_->LastError();
    for (int y = 0; y < area.height; ++y) ASSERT_EQ(std::memcmp(rows.Row(y), image.ScanLine(y), rowBytes), 0) << y;
}

TEST_P(X11GrabTest, AreaEntirelyOffScreenIsBlack) {
    const std::vector<Rect> areas = {
        {-500, -400, 100, 60},           {root_.Right(), 0, 30, 20},
        {0, root_.Bottom() + 5, 30, 20}, {INT_MAX - 16, INT_MAX - 8, 16, 8},
        {INT_MIN, INT_MIN, 12, 12},
    };
    for (const Rect& area : areas) {
        SCOPED_TRACE(std::to_string(area.left) + "," + std::to_string(area.top));
        Bitmap dst(area.width, area.height);
        dst.Fill(0x808080);
        ASSERT_TRUE(source_->Grab(area, dst)) << source_->LastError();
        ASSERT_EQ(dst.Width(), area.width);
        ASSERT_EQ(dst.Height(), area.height);
        EXPECT_EQ(LitPixelsOffRoot(dst, area, root_), 0);
    }
}

TEST_P(X11GrabTest, EmptyAreaGivesEmptyImage) {
    for (const Rect& area : {Rect{5, 5, 0, 10}, Rect{5, 5, 10, -1}, Rect{-5, -5, -4, -4}}) {
        Bitmap dst(8, 8, TPixelFormat::pf24bit);
        ASSERT_TRUE(source_->Grab(area, dst));
        EXPECT_TRUE(dst.Empty());
        EXPECT_EQ(dst.Width(), area.width > 0 ? area.width : 0);
        EXPECT_EQ(dst.Height(), area.height > 0 ? area.height : 0);
        EXPECT_EQ(dst.PixelFormat(), TPixelFormat::pf32bit);
    }
}

TEST_P(X11GrabTest, SmallLargeAndSmallAgain) {
    const BlockWindow window = client_.ShowBlocks({400, 500});
    Bitmap small;
    ExpectBlocks(Rect{400, 500, 8, 8}, window, small);
    Bitmap large;
    ExpectBlocks(Rect{380, 480, 300, 200}, window, large);
    Bitmap corner;
    ExpectBlocks(Rect{400 + 60, 500 + 44, 4, 4}, window, corner);
    EXPECT_EQ(corner.PixelRGB(0, 0), BlockWindow::kColours[3]);
}

TEST_P(X11GrabTest, ConcurrentGrabsStayCorrect) {
    const BlockWindow window = client_.ShowBlocks({500, 600});
    Bitmap first;
    ExpectBlocks(window.Area(), window, first);  // on screen before the threads start

    const std::vector<Rect> areas = {window.Area(), {490, 590, 90, 70}, {532, 624, 16, 16}, {480, 580, 200, 100}};
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (const Rect& area : areas) {
        threads.emplace_back([&, area] {
            Bitmap dst;
            for (int i = 0; i < 25; ++i) {
                if (!source_->Grab(area, dst) || !ShowsBlocks(dst, area, window)) ++failures;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0) << source_->LastError();
}

INSTANTIATE_TEST_SUITE_P(Methods, X11GrabTest, ::testing::Values(X11GrabMethod::Auto, X11GrabMethod::GetImage),
                         [](const ::testing::TestParamInfo<X11GrabMethod>& info) {
                             return info.param == X11GrabMethod::Auto ? std::string("SharedMemory")
                                                                      : std::string("GetImage");
                         });

class X11GrabPathTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TOLM_SKIP_WITHOUT_DISPLAY();
        ASSERT_TRUE(client_.Connected());
    }

    static std::unique_ptr<ScreenSource> Open(X11GrabMethod method) {
        std::string error;
        auto source = CreateX11ScreenSource("", error, method);
        EXPECT_NE(source, nullptr) << error;
        return source;
    }

    X11TestClient client_;
};

// Also the switch for manual runs: TOLM_X11_NO_SHM=1 turns the default method into GetImage.
std::unique_ptr<ScreenSource> OpenWithSharedMemoryOffByEnvironment() {
    const char* previous = std::getenv("TOLM_X11_NO_SHM");
    const std::string saved = previous ? previous : "";
    setenv("TOLM_X11_NO_SHM", "1", 1);
    std::string error;
    auto source = CreateX11ScreenSource("", error);
    if (previous) {
        setenv("TOLM_X11_NO_SHM", saved.c_str(), 1);
    } else {
        unsetenv("TOLM_X11_NO_SHM");
    }
    EXPECT_NE(source, nullptr) << error;
    return source;
}

TEST_F(X11GrabPathTest, SharedMemoryAndGetImageGiveTheSameBytes) {
    const BlockWindow window = client_.ShowBlocks({700, 200});
    auto shared = Open(X11GrabMethod::Auto);
    auto plain = Open(X11GrabMethod::GetImage);
    auto plainByEnvironment = OpenWithSharedMemoryOffByEnvironment();
    ASSERT_TRUE(shared && plain && plainByEnvironment);

    const Rect root = client_.RootArea();
    for (const Rect& area : {Rect{650, 150, 170, 130}, Rect{root.Right() - 30, 300, 60, 40}}) {
        Bitmap fromShared;
        ASSERT_TRUE(GrabUntil(*shared, area, fromShared, client_,
                              [&](const Bitmap& image) { return ShowsBlocks(image, area, window); }));
        // The root around the window is static: every path must read the very same bytes.
        const std::vector<std::uint8_t> expected(fromShared.Bits(), fromShared.Bits() + fromShared.ByteSize());
        for (ScreenSource* other : {plain.get(), plainByEnvironment.get()}) {
            Bitmap dst;
            ASSERT_TRUE(other->Grab(area, dst)) << other->LastError();
            EXPECT_EQ(std::vector<std::uint8_t>(dst.Bits(), dst.Bits() + dst.ByteSize()), expected);
        }
    }
    EXPECT_TRUE(dynamic_cast<X11ScreenSource&>(*shared).UsesSharedMemory());
    EXPECT_FALSE(dynamic_cast<X11ScreenSource&>(*plain).UsesSharedMemory());
    EXPECT_FALSE(dynamic_cast<X11ScreenSource&>(*plainByEnvironment).UsesSharedMemory());
}

}  // namespace
}  // namespace testing
}  // namespace tolm
