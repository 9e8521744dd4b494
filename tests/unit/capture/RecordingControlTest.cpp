#include <chrono>

#include "CameraFixture.h"
#include "platform/Files.h"
#include "platform/fake/FakeHotKeys.h"
#include "platform/fake/FakeOverlayWindow.h"

namespace tolm {
namespace {

using namespace std::chrono_literals;

// The engine with the desktop's keys, frame windows and window finder, driven as the window drives it.
class RecordingControl : public CameraTest {
  protected:
    EngineServices Services() override {
        EngineServices services = CameraTest::Services();
        services.hotKeys = &keys;
        services.createOverlayWindow = [this] {
            auto window = std::make_unique<FakeOverlayWindow>();
            overlay = window.get();
            return window;
        };
        services.windowLocator = &locator;
        return services;
    }
    void SetUp() override {
        CameraTest::SetUp();
        camera->SetRecordType(TTypeRecord::NoCompress);
        camera->ScreenArea().SetScreenRegion(TScreenRegion::FixedStable);
        camera->ScreenArea().SetBounds(Rect{0, 0, 32, 16});
        camera->OnFinished = [this](TScreenCamera&) { ++finished; };
        output = folder + "/out.avi";
    }
    bool WaitForWorker() {
        return loop.RunUntil([this] { return !camera->WorkerRunning(); }, 20s);
    }
    // Stops the recording for saving once `grabs` passes have run.
    void StopAfter(int grabs) {
        screen.SetGrabHook([this, grabs](int grab) {
            if (grab == grabs) loop.Post([this] { camera->HotKeyPressed(HotKey::ShiftEscape); });
        });
    }

    FakeHotKeys keys;
    FakeWindowLocator locator;
    FakeOverlayWindow* overlay = nullptr;  // the last frame window made
    std::string output;
    int finished = 0;
};

TEST_F(RecordingControl, KeysAreTheDesktopsWhileNothingOfOursActsOnThem) {
    EXPECT_TRUE(keys.held.empty());
    camera->SetPreview(true);
    EXPECT_EQ(keys.held.size(), 4u);
    camera->HotKeyPressed(HotKey::Escape);  // ends the preview
    EXPECT_TRUE(keys.held.empty());

    StopAfter(4);
    ASSERT_TRUE(camera->StartRecording(output));
    EXPECT_EQ(keys.held.size(), 4u);
    ASSERT_TRUE(WaitForWorker());
    EXPECT_TRUE(keys.held.empty());

    camera->ScreenArea().SetScreenRegion(TScreenRegion::FreeHand);
    EXPECT_FALSE(camera->StartRecording(output));  // waits for the pick
    EXPECT_EQ(keys.held.size(), 4u);
    camera->AreaTimerTick();  // the picker is cancelled
    EXPECT_TRUE(keys.held.empty());
}

// An area in the top-right corner of the second monitor: its frame's caption (150 wide) stays on that monitor,
// whole, below the frame and moved left.
TEST_F(RecordingControl, TheFramesCaptionStaysWholeOnTheAreasMonitor) {
    const Rect second{1920, 0, 1280, 1024};
    screen.SetMonitors({Rect{0, 0, 1920, 1080}, second});
    camera->ScreenArea().SetBounds(Rect{second.Right() - 100, 0, 100, 50});
    camera->SetPreview(true);
    camera->AreaTimerTick();
    ASSERT_NE(overlay, nullptr);
    ASSERT_FALSE(overlay->paints.empty());
    const Point at = overlay->paints.back().captionAt;
    const Rect caption{overlay->bounds.left + at.x, overlay->bounds.top + at.y, 150, 13};
    EXPECT_EQ(Intersect(caption, second), caption);
    EXPECT_EQ(caption.top, 50 + 2);  // just below the ring
    camera->SetPreview(false);
}

// The old recording's save asks the main thread to show its progress while the user clicks Record again.
TEST_F(RecordingControl, AStartDuringTheLastSaveIsRefusedWithoutWaitingAndTheSaveKeepsItsName) {
    bool startedDuringSave = true;
    camera->OnSaving = [&](TScreenCamera&, int, const std::string&, bool&) {
        loop.Invoke([&] { startedDuringSave = camera->StartRecording(folder + "/next.avi"); });
    };
    StopAfter(4);
    ASSERT_TRUE(camera->StartRecording(output));
    ASSERT_TRUE(WaitForWorker());
    EXPECT_FALSE(startedDuringSave);
    EXPECT_NE(avi.File(output), nullptr);
    EXPECT_EQ(avi.File(folder + "/next.avi"), nullptr);
    EXPECT_EQ(finished, 1);
    camera->OnSaving = nullptr;
    StopAfter(screen.GrabCount() + 4);
    EXPECT_TRUE(camera->StartRecording(folder + "/next.avi"));  // once the worker has finished
    ASSERT_TRUE(WaitForWorker());
}

// Shift+Esc or Esc while the compressor question is open: the question closes and nothing is recorded, whatever
// the question's answer was.
TEST_F(RecordingControl, AKeyWhileTheCompressorQuestionIsOpenEndsTheStart) {
    camera->SetRecordType(TTypeRecord::CompressOnFly);
    for (const HotKey key : {HotKey::ShiftEscape, HotKey::Escape}) {
        const int closedBefore = host.closedQuestions;
        host.QueueAnswers({true});  // yes, the default compressor
        host.whileAsking = [&] { loop.Invoke([&] { camera->HotKeyPressed(key); }); };
        events.clear();
        ASSERT_TRUE(camera->StartRecording(output));
        ASSERT_TRUE(WaitForWorker());
        EXPECT_EQ(host.closedQuestions, closedBefore + 1);
        EXPECT_EQ(avi.File(output), nullptr);
        EXPECT_FALSE(Globals().SaveSucceeded);
        EXPECT_EQ(events, (std::vector<std::string>{"stop"}));  // no "User aborted!": the user ended it
        EXPECT_TRUE(keys.held.empty());
    }
}

TEST_F(RecordingControl, CtrlEnterBeforeTheObjectPickerFoundAWindowPicksNothing) {
    camera->ScreenArea().SetScreenRegion(TScreenRegion::SelObject);
    EXPECT_FALSE(camera->StartRecording(output));
    locator.pointer = Point{50, 50};  // over no window
    loop.Post([this] { camera->HotKeyPressed(HotKey::CtrlReturn); });
    loop.Post([this] { camera->HotKeyPressed(HotKey::Escape); });
    camera->AreaTimerTick();
    EXPECT_FALSE(camera->Recording());
    EXPECT_EQ(camera->ScreenArea().Bounds(), (Rect{0, 0, 32, 16}));
    EXPECT_EQ(host.restored, 1);  // the start is over: the window comes back
}

}  // namespace
}  // namespace tolm
