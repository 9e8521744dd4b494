#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

#include "CameraFixture.h"

namespace tolm {
namespace {

using namespace std::chrono_literals;

constexpr Rect kArea{0, 0, 32, 16};

// Recordings of a screen that changes only when a test says so. The paced loop waits on the manual clock
// before every position after the first, so the clock's wait hook sees each position's time.
class StillScreen : public CameraTest {
  protected:
    void SetUp() override {
        CameraTest::SetUp();
        screen.SetAlwaysChanging(false);
        camera->SetRecordType(TTypeRecord::NoCompress);
        camera->ScreenArea().SetScreenRegion(TScreenRegion::FixedStable);
        camera->ScreenArea().SetBounds(kArea);
        camera->SetRecordCursor(false);
        clock.Set(1000);
    }

    // Records positions 0 to count - 1; `before(p)` runs just before position p's pass. Returns the positions
    // that were grabbed.
    std::vector<int> Record(int count, const std::function<void(int position)>& before = {}) {
        std::vector<int> grabbed;
        screen.SetGrabHook([&](int grab) {
            if (grab > 1) grabbed.push_back(static_cast<int>((clock.NowMs() - 1000) / 20));  // 1 settles
        });
        clock.SetWaitHook([&](double now) {
            const int position = static_cast<int>((now - 1000) / 20);
            if (position == count) camera->StopRecording();
            if (position < count && before) before(position);
        });
        EXPECT_TRUE(camera->StartRecording(folder + "/still.avi"));
        EXPECT_TRUE(loop.RunUntil([this] { return !camera->WorkerRunning(); }, 20s));
        screen.SetGrabHook({});
        clock.SetWaitHook({});
        return grabbed;
    }

    std::vector<std::int32_t> SamplesInFile() const {
        std::vector<std::int32_t> positions;
        if (const auto file = avi.File(folder + "/still.avi"))
            for (const auto& [p, sample] : file->streams.front()->samples) positions.push_back(p);
        return positions;
    }
};

TEST_F(StillScreen, RepeatsThePreviousFrameWithoutGrabbingAndDropsNothing) {
    EXPECT_EQ(Record(6), std::vector<int>{0});
    // Positions 1 to 4 are empty in the file; the last one holds the picture to the end.
    EXPECT_EQ(SamplesInFile(), (std::vector<std::int32_t>{0, 5}));
    EXPECT_EQ(camera->CapturedFrames(), 6);
    EXPECT_EQ(camera->DroppedFrames(), 0);
    EXPECT_DOUBLE_EQ(camera->CurrentFPS(), 50);
}

TEST_F(StillScreen, ALongStillStretchReachesTheFileOnceASecond) {
    EXPECT_EQ(Record(120), std::vector<int>{0});
    EXPECT_EQ(SamplesInFile(), (std::vector<std::int32_t>{0, 50, 100, 119}));
}

TEST_F(StillScreen, AChangeInTheAreaIsGrabbedAndOneOutsideIsNot) {
    const auto grabbed = Record(6, [this](int p) {
        if (p == 2) screen.FillRect(Rect{10, 4, 2, 2}, 0xFF0000);
        if (p == 4) screen.FillRect(Rect{100, 100, 8, 8}, 0x00FF00);
    });
    EXPECT_EQ(grabbed, (std::vector<int>{0, 2}));
}

TEST_F(StillScreen, ACursorMovingOverTheAreaIsGrabbedAndOneElsewhereIsNot) {
    camera->SetRecordCursor(true);
    CursorImage cursor;
    cursor.visible = true;
    cursor.width = cursor.height = 2;
    cursor.argb.assign(4, 0xFFFFFFFF);
    const auto grabbed = Record(6, [&](int p) {
        cursor.position = p < 3 ? Point{5 + p, 5} : Point{500 + p, 500};
        screen.SetCursor(cursor);
    });
    // Position 3 takes the cursor away from the area; after that it moves where it is not recorded.
    EXPECT_EQ(grabbed, (std::vector<int>{0, 1, 2, 3}));
}

// Some desktops send their first picture only once something on the screen changes.
TEST_F(StillScreen, ADesktopWithoutAPictureYetIsRecordedBlackUntilItsFirstPicture) {
    screen.SetAwaitingFirstPicture(true);
    Record(6, [this](int p) {
        if (p == 3) screen.SetAwaitingFirstPicture(false);
    });
    EXPECT_EQ(screen.GrabCount(), 1);
    EXPECT_EQ(SamplesInFile(), (std::vector<std::int32_t>{0, 3, 5}));
    const auto& samples = avi.File(folder + "/still.avi")->streams.front()->samples;
    const auto black = [](const std::vector<std::uint8_t>& bytes) {
        return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
    };
    EXPECT_TRUE(black(samples.at(0).bytes));
    EXPECT_FALSE(black(samples.at(3).bytes));
    EXPECT_EQ(std::count_if(events.begin(), events.end(), [](const std::string& e) { return e.starts_with("error:"); }),
              1)
        << ::testing::PrintToString(events);
}

TEST_F(StillScreen, AnEffectSwitchedOnIsGrabbed) {
    const auto grabbed = Record(5, [this](int p) {
        if (p == 3) camera->SetUseFilters({TUseFilter::UseGrayScale});
    });
    EXPECT_EQ(grabbed, (std::vector<int>{0, 3}));
}

TEST_F(StillScreen, NoiseIsGrabbedEveryTime) {
    camera->SetUseFilters({TUseFilter::UseMonoNoise});
    EXPECT_EQ(Record(4), (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(StillScreen, AnOverlayIsGrabbedEveryTime) {
    camera->SetOvelayDrawing(true);
    camera->OnOverlay = [](TScreenCamera&, Bitmap&, int, int) {};
    EXPECT_EQ(Record(4), (std::vector<int>{0, 1, 2, 3}));
}

}  // namespace
}  // namespace tolm
