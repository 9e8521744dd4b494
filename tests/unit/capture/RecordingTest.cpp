#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <limits>

#include "CameraFixture.h"
#include "capture/CaptureGlobals.h"
#include "platform/Files.h"

namespace tolm {
namespace {

using namespace std::chrono_literals;

// Recordings on the worker thread, with the test thread as the main thread and the clock moved by the
// screen's grabs: grab n (the settling's first frame is grab 1) sets the time the next pass reads.
class Recording : public CameraTest {
  protected:
    void SetUp() override {
        CameraTest::SetUp();
        camera->SetRecordType(TTypeRecord::NoCompress);
        camera->ScreenArea().SetScreenRegion(TScreenRegion::FixedStable);
        camera->ScreenArea().SetBounds(Rect{0, 0, 32, 16});
        camera->SetRecordCursor(false);
        camera->OnPause = [this](TScreenCamera&) { pauses++; };
        clock.Set(1000);
        output = folder + "/out.avi";
    }

    // Elapsed times of the passes after the first (which runs at 0); the pass after the last one stops.
    void ScriptPasses(std::vector<double> elapsed, TStopReason stopAs = TStopReason::StopAndSave) {
        screen.SetGrabHook([this, elapsed, stopAs](int grab) {
            const std::size_t pass = static_cast<std::size_t>(grab - 2);  // grab 2 is the first pass
            if (grab < 2) return;
            if (pass < elapsed.size()) {
                clock.Set(1000 + elapsed[pass] + pausedMs);
            } else if (pass == elapsed.size()) {
                Globals().StopReason = stopAs;
                BetweenGrabs([this] {
                    camera->HotKeyPressed(Globals().StopReason == TStopReason::Cancel ? HotKey::Escape
                                                                                      : HotKey::ShiftEscape);
                });
            }
        });
    }

    bool WaitForWorker() {
        return loop.RunUntil([this] { return !camera->WorkerRunning(); }, 20s);
    }

    std::vector<std::int32_t> WrittenPositions() const {
        std::vector<std::int32_t> positions;
        const auto file = avi.File(output);
        if (!file) return positions;
        for (const auto& [p, sample] : file->streams.front()->samples) positions.push_back(p);
        return positions;
    }

    std::string output;
    std::atomic<int> pauses{0};
    std::atomic<double> pausedMs{0};
};

TEST_F(Recording, GrabsLandOnTheTimelineAndMissedPositionsAreDropped) {
    ScriptPasses({45, 90, 135});
    ASSERT_TRUE(camera->StartRecording(output));
    ASSERT_TRUE(WaitForWorker());
    EXPECT_EQ(camera->CapturedFrames(), 4);
    EXPECT_EQ(camera->DroppedFrames(), 4);
    EXPECT_EQ(camera->FrameIndex(), 7);
    const auto saved = avi.File(output);
    ASSERT_NE(saved, nullptr);
    std::vector<std::int32_t> positions;
    for (const auto& [p, sample] : saved->streams.front()->samples) positions.push_back(p);
    EXPECT_EQ(positions, (std::vector<std::int32_t>{0, 2, 4, 7}));  // 4.5 rounds to the even 4
    EXPECT_FALSE(camera->Recording());
    EXPECT_FALSE(FileExists(Globals().TempVideoFile()));
}

TEST_F(Recording, EachPositionIsGrabbedOnceAtItsTime) {
    std::vector<double> grabTimes;
    screen.SetGrabHook([this, &grabTimes](int grab) {
        if (grab < 2) return;
        grabTimes.push_back(clock.NowMs() - 1000);
        if (grab == 5) BetweenGrabs([this] { camera->StopRecording(); });
    });
    ASSERT_TRUE(camera->StartRecording(output));
    ASSERT_TRUE(WaitForWorker());
    EXPECT_EQ(grabTimes, (std::vector<double>{0, 20, 40, 60}));  // the loop waits in between, it does not spin
    EXPECT_EQ(WrittenPositions(), (std::vector<std::int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(camera->DroppedFrames(), 0);
    EXPECT_DOUBLE_EQ(camera->RealFPS(), 50);
}

TEST_F(Recording, AtThePlaybackIntervalToTheMillisecondPositionsKeepThePlaybackRate) {
    camera->SetPlayBack_FPS(24);
    camera->SetRecord_MSPF(41);  // 1000 div 24, as the automatic mode sets it
    ScriptPasses({10000});
    ASSERT_TRUE(camera->StartRecording(output));
    ASSERT_TRUE(WaitForWorker());
    EXPECT_EQ(camera->FrameIndex(), 240);  // ten seconds play for ten seconds at 24 fps
}

TEST_F(Recording, PauseDoesNotAdvanceTheTimeline) {
    screen.SetGrabHook([this](int grab) {
        if (grab == 2) camera->PauseRecording();  // after the pass at 0
        if (grab == 3) BetweenGrabs([this] { camera->StopRecording(); });
    });
    ASSERT_TRUE(camera->StartRecording(output));
    ASSERT_TRUE(loop.RunUntil([this] { return pauses.load() == 1; }, 20s));
    clock.Advance(5000);
    camera->ResumeRecording();
    ASSERT_TRUE(WaitForWorker());
    EXPECT_EQ(camera->CapturedFrames(), 2);
    // The pass after the pause is the next position: the pause's 5 s are not on the timeline.
    EXPECT_EQ(camera->DroppedFrames(), 0);
    EXPECT_EQ(camera->ElapsedTimeText(), "0 : 0 : 0 : 20");
}

TEST_F(Recording, PauseKeyWhileIdleStartsTheNextRecordingPaused) {
    camera->HotKeyPressed(HotKey::Pause);
    EXPECT_TRUE(camera->Paused());
    ASSERT_TRUE(camera->StartRecording(output));
    ASSERT_TRUE(loop.RunUntil([this] { return pauses.load() == 1; }, 20s));
    EXPECT_EQ(camera->CapturedFrames(), 0);
    camera->StopRecording();
    ASSERT_TRUE(WaitForWorker());
    EXPECT_FALSE(camera->Paused());
}

TEST_F(Recording, DurationStopsAndSaves) {
    camera->SetRecordingDuration(TRecordingDuration{true, 0, 1, 30});
    screen.SetGrabHook([this](int grab) {
        if (grab == 2) clock.Set(1000 + 89999);
    });
    ASSERT_TRUE(camera->StartRecording(output));
    ASSERT_TRUE(WaitForWorker());
    EXPECT_EQ(Globals().StopReason.load(), TStopReason::StopAndSave);
    ASSERT_NE(avi.File(output), nullptr);
    EXPECT_EQ(camera->FrameIndex(), 4501);  // 89.999 s shows 1:29; the next position's 90.02 s stops
}

TEST_F(Recording, DurationStopsAfterAStallThatSkippedItsSecond) {
    camera->SetRecordingDuration(TRecordingDuration{true, 0, 1, 30});
    screen.SetGrabHook([this](int grab) {
        if (grab == 2) clock.Set(1000 + 89000);
        if (grab == 3) clock.Set(1000 + 92000);  // the screen froze for three seconds during this grab
        if (grab == 10) camera->StopRecording();
    });
    ASSERT_TRUE(camera->StartRecording(output));
    ASSERT_TRUE(WaitForWorker());
    EXPECT_EQ(camera->FrameIndex(), 4600);  // the first pass past 1:30
}

TEST_F(Recording, AreasThatCannotBeRecordedAreRefusedBeforeAnyGrab) {
    const std::string notStarted = "; the recording was not started.";
    const struct {
        Rect area;
        std::string text;
    } cases[] = {
        {Rect{5000, 5000, 100, 100},
         "The area 100x100 at (5000,5000) lies wholly outside the screen (1920x1080 at (0,0))"},
        {Rect{0, 0, 300, 0}, "The area 300x0 has no pixels to record (a width and a height of at least 1 are needed)"},
        {Rect{0, 0, 65536, 65536},
         "The area 65536x65536 is too large to record (a frame is at most 32767 pixels wide or high and under 2 GB)"},
    };
    for (const auto& c : cases) {
        events.clear();
        camera->ScreenArea().SetBounds(c.area);
        ASSERT_TRUE(camera->StartRecording(output));
        ASSERT_TRUE(WaitForWorker());
        EXPECT_EQ(events, (std::vector<std::string>{"error:" + c.text + notStarted, "stop"}));
    }
    EXPECT_EQ(screen.GrabCount(), 0);
    EXPECT_FALSE(FileExists(output));
}

TEST_F(Recording, ReverseColorSwitchedOnMidRecordingShowsFromTheNextFrame) {
    screen.FillRect(Rect{0, 0, 32, 16}, 0x123456);
    screen.SetGrabHook([this](int grab) {
        if (grab == 2) camera->SetUseFilters({TUseFilter::UseReverseColor}), clock.Advance(20);
        if (grab == 3) BetweenGrabs([this] { camera->StopRecording(); });
    });
    ASSERT_TRUE(camera->StartRecording(output));
    ASSERT_TRUE(WaitForWorker());
    const auto saved = avi.File(output);
    ASSERT_NE(saved, nullptr);
    const auto& samples = saved->streams.front()->samples;
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_EQ(samples.at(0).bytes.at(0), 0x56);  // blue, as on the screen
    EXPECT_EQ(samples.at(1).bytes.at(0), 0xA9);  // inverted
}

// Escape may have been meant for another program: no save, but what was recorded is put aside with its note.
TEST_F(Recording, EscapeLeavesNoOutputAndKeepsTheRecordingAside) {
    ScriptPasses({20}, TStopReason::Cancel);
    ASSERT_TRUE(camera->StartRecording(output));
    ASSERT_TRUE(WaitForWorker());
    EXPECT_FALSE(FileExists(output));
    EXPECT_FALSE(FileExists(Globals().TempVideoFile()));
    const std::optional<TScreenCamera::LeftoverRecording> kept = camera->CancelledRecording();
    ASSERT_TRUE(kept.has_value());
    EXPECT_TRUE(FileExists(kept->videoFile));
    ASSERT_TRUE(kept->note.has_value());
    EXPECT_EQ(kept->note->outputFile, AbsolutePath(output));
    EXPECT_EQ(camera->LeftoverRecordings().size(), 1u);
}

TEST_F(Recording, ACancelOnlyThisProgramCanGiveDeletesTheRecording) {
    screen.SetGrabHook([this](int grab) {
        if (grab == 4) BetweenGrabs([this] { camera->CancelRecording(); });
    });
    ASSERT_TRUE(camera->StartRecording(output));
    ASSERT_TRUE(WaitForWorker());
    EXPECT_FALSE(FileExists(output));
    EXPECT_FALSE(camera->CancelledRecording().has_value());
    EXPECT_FALSE(FileExists(Globals().TempVideoFile()));
    EXPECT_FALSE(FileExists(Globals().TempNoteFile()));
    EXPECT_TRUE(camera->LeftoverRecordings().empty());
}

TEST_F(Recording, CtrlEnterSavesOnlyAfterASaveRequest) {
    for (const TStopReason before : {TStopReason::StopAndSave, TStopReason::Cancel}) {
        Globals().StopReason = before;
        const int firstPass = screen.GrabCount() + 2;
        screen.SetGrabHook([this, firstPass](int grab) {
            if (grab == firstPass) loop.Post([this] { camera->HotKeyPressed(HotKey::CtrlReturn); });
        });
        const std::string file = folder + (before == TStopReason::Cancel ? "/cancelled.avi" : "/saved.avi");
        ASSERT_TRUE(camera->StartRecording(file));
        ASSERT_TRUE(WaitForWorker());
        EXPECT_EQ(avi.File(file) != nullptr, before == TStopReason::StopAndSave) << file;
    }
}

TEST_F(Recording, MissingFolderIsReportedAndNothingRecorded) {
    ASSERT_TRUE(camera->StartRecording("/nonexistent-folder/out.avi"));
    ASSERT_TRUE(WaitForWorker());
    std::string reason;  // in the system's words
    EXPECT_FALSE(FolderWritable("/nonexistent-folder", reason));
    EXPECT_EQ(events, (std::vector<std::string>{"error:Not exist file path. The folder of /nonexistent-folder/out.avi "
                                                "cannot be used (" +
                                                reason + "); the recording was not started."}));
    EXPECT_EQ(screen.GrabCount(), 0);
}

TEST_F(Recording, OutputThatIsAFolderIsRefusedBeforeRecording) {
    std::filesystem::create_directory(output);
    ASSERT_TRUE(camera->StartRecording(output));
    ASSERT_TRUE(WaitForWorker());
    EXPECT_EQ(events, (std::vector<std::string>{"error:The output file " + output +
                                                " is a folder; the recording was not started."}));
    EXPECT_EQ(screen.GrabCount(), 0);
}

TEST_F(Recording, StartingTwiceIsRefused) {
    screen.SetGrabHook([this](int grab) {
        if (grab == 5) loop.Post([this] { camera->StopRecording(); });
    });
    ASSERT_TRUE(camera->StartRecording(output));
    EXPECT_FALSE(camera->StartRecording(output));
    ASSERT_TRUE(WaitForWorker());
}

TEST_F(Recording, DestroyingTheEngineEndsARunningRecording) {
    ASSERT_TRUE(camera->StartRecording(output));
    ASSERT_TRUE(loop.RunUntil([this] { return screen.GrabCount() > 3; }, 20s));
    camera.reset();  // joins the worker; the recording is cancelled
    EXPECT_EQ(Globals().StopReason.load(), TStopReason::Cancel);
    EXPECT_FALSE(FileExists(output));
}

TEST(ElapsedTime, SplitsIntoHoursMinutesSecondsAndMilliseconds) {
    const ElapsedSplit s = TScreenCamera::SplitElapsedTime(3600000 + 2 * 60000 + 3000 + 50);
    EXPECT_EQ(s.hours, 1);
    EXPECT_EQ(s.minutes, 2);
    EXPECT_EQ(s.seconds, 3);
    EXPECT_EQ(s.milliseconds, 50);
}

using AreaTracking = CameraTest;

TEST_F(AreaTracking, FollowMouseStaysOnTheMonitor) {
    camera->ScreenArea().SetScreenRegion(TScreenRegion::FixedMoving);
    camera->SetDrawAreaCapture(false);
    CursorImage cursor;
    cursor.position = Point{10, 10};
    screen.SetCursor(cursor);
    camera->SetPreview(true);
    camera->AreaTimerTick();
    EXPECT_EQ(camera->ScreenArea().Bounds(), (Rect{0, 0, 300, 300}));

    cursor.position = Point{1919, 1079};
    screen.SetCursor(cursor);
    camera->AreaTimerTick();
    EXPECT_EQ(camera->ScreenArea().Bounds(), (Rect{1620, 780, 300, 300}));
    camera->SetPreview(false);
}

TEST_F(AreaTracking, PreviewDeliversImagesAndStatistics) {
    camera->ScreenArea().SetScreenRegion(TScreenRegion::FixedStable);
    camera->ScreenArea().SetBounds(Rect{5, 5, 40, 30});
    int images = 0;
    int updates = 0;
    camera->OnPreview = [&](TScreenCamera&, const Bitmap* image, bool preview, bool recording) {
        if (image && preview && !recording) {
            ++images;
            EXPECT_EQ(image->Width(), 40);
        }
    };
    camera->OnUpdate = [&](TScreenCamera&) { ++updates; };
    camera->SetPreview(true);
    clock.Advance(300);
    camera->AreaTimerTick();
    EXPECT_EQ(images, 1);
    EXPECT_EQ(updates, 1);              // 300 ms >= UpdateRate 250
    EXPECT_EQ(camera->RealFPS(), 0.0);  // no recording, no rate: not the tick's own speed
    EXPECT_EQ(camera->VideoCodecName(), "");
    EXPECT_EQ(camera->ElapsedTimeText(), "0 : 0 : 0 : 300");
    camera->HotKeyPressed(HotKey::Escape);
    EXPECT_FALSE(camera->Preview());
    EXPECT_EQ(host.restored.load(), 1);
}

TEST_F(AreaTracking, FreeHandPickStartsTheRecordingOnTheClippedArea) {
    camera->SetRecordType(TTypeRecord::NoCompress);
    camera->ScreenArea().SetScreenRegion(TScreenRegion::FreeHand);
    host.freeHandDrag = {true, Point{500, 400}, Point{200, 100}, true};
    EXPECT_FALSE(camera->StartRecording(folder + "/picked.avi"));
    EXPECT_TRUE(Globals().StartPending);
    camera->AreaTimerTick();
    EXPECT_EQ(host.stillPictureWidth, 1920);
    EXPECT_EQ(camera->ScreenArea().ScreenRegion(), TScreenRegion::FixedStable);
    EXPECT_EQ(camera->ScreenArea().Bounds(), (Rect{200, 100, 300, 300}));
    EXPECT_TRUE(camera->Recording());
    camera->StopRecording();
    EXPECT_TRUE(loop.RunUntil([this] { return !camera->WorkerRunning(); }, 20s));
}

TEST_F(AreaTracking, CancelledPickAbandonsTheStartAndBringsTheWindowBack) {
    camera->SetMinimizeAppOnStart(true);
    camera->SetRestoreAppOnStop(false);
    camera->ScreenArea().SetScreenRegion(TScreenRegion::FreeHand);
    EXPECT_FALSE(camera->StartRecording(folder + "/never.avi"));
    EXPECT_EQ(host.minimized, 1);
    camera->AreaTimerTick();  // the fake picker is cancelled, as by its own Escape
    EXPECT_FALSE(camera->Recording());
    EXPECT_FALSE(Globals().StartPending);  // no later pick starts a recording
    EXPECT_EQ(camera->ScreenArea().Bounds(), (Rect{0, 0, 300, 300}));
    EXPECT_EQ(host.restored, 1);
}

}  // namespace
}  // namespace tolm

namespace tolm {
namespace {

// The temporary file is a real one here, as the AVI library makes it, so what the worker does with it shows.
class FailedSave : public Recording {
  protected:
    void RecordWithFileOnDisk() {
        const int base = screen.GrabCount();
        const double start = clock.NowMs();
        screen.SetGrabHook([this, base, start](int count) {
            const int grab = count - base;  // grab 1 settles the compressor, grab 2 is the first pass
            if (grab == 2) std::ofstream(Globals().TempVideoFile()) << "the recording";
            if (grab == 2 || grab == 3) clock.Set(start + 20 * (grab - 1));
            if (grab == 4) {
                Globals().StopReason = TStopReason::StopAndSave;
                loop.Post([this] { camera->HotKeyPressed(HotKey::ShiftEscape); });
            }
        });
        ASSERT_TRUE(camera->StartRecording(output));
        ASSERT_TRUE(WaitForWorker());
    }
    // The recording's files put aside, without the note that goes with them.
    std::vector<std::string> Unsaved() const {
        std::vector<std::string> names;
        const std::string folder = FolderOf(Globals().TempVideoFile());
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("unsaved-", 0) == 0 && !name.ends_with("Note.txt")) names.push_back(folder + "/" + name);
        }
        return names;
    }
};

TEST_F(FailedSave, KeepsTheRecordingUnderANameNothingDeletesAndSaysWhere) {
    avi.saveResult = AVIERR_FILEWRITE;
    RecordWithFileOnDisk();
    const std::vector<std::string> kept = Unsaved();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_FALSE(FileExists(Globals().TempVideoFile()));
    EXPECT_NE(std::find(events.begin(), events.end(),
                        "error:The recording was not saved; it is kept in " + kept.front() + "."),
              events.end());
    // The next recording starts from a fresh temporary file and leaves the kept one alone.
    avi.saveResult = AVIERR_OK;
    RecordWithFileOnDisk();
    EXPECT_EQ(Unsaved(), kept);
}

TEST_F(FailedSave, ACancelledSaveKeepsTheRecordingAndSaysWhere) {
    compressors.Add(FakeCompressorManager::Codec("AAAA"));
    camera->GetVideoCodecList();
    camera->SetSelectedCompressor(0);
    camera->SetRecordType(TTypeRecord::CompressAfterRecord);
    avi.saveResult = AVIERR_USERABORT;
    RecordWithFileOnDisk();
    const std::vector<std::string> kept = Unsaved();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_FALSE(FileExists(Globals().TempVideoFile()));
    EXPECT_NE(std::find(events.begin(), events.end(),
                        "error:The recording was not saved; it is kept in " + kept.front() + "."),
              events.end());
}

}  // namespace
}  // namespace tolm

namespace tolm {
namespace {

TEST_F(FailedSave, WhatAKilledRunLeftIsPutAsideNotOverwrittenNorDeleted) {
    std::ofstream(Globals().TempVideoFile()) << "a killed recorder's frames";
    std::ofstream(Globals().TempAudioFile()) << "and its sound";
    // An engine that never records leaves them for recovery.
    camera.reset();
    camera = std::make_unique<TScreenCamera>(Services());
    camera->OnError = [this](TScreenCamera&, const std::string& text) { events.push_back("error:" + text); };
    camera->SetRecordType(TTypeRecord::NoCompress);
    camera->ScreenArea().SetScreenRegion(TScreenRegion::FixedStable);
    camera->ScreenArea().SetBounds(Rect{0, 0, 32, 16});
    EXPECT_TRUE(FileExists(Globals().TempVideoFile()));
    // The first recording puts them aside under names nothing deletes, and says where.
    RecordWithFileOnDisk();
    EXPECT_EQ(Unsaved().size(), 2u);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().rfind("error:An interrupted recording was left; it is kept in ", 0), 0u) << events.front();
}

}  // namespace
}  // namespace tolm

namespace tolm {
namespace {

TEST_F(Recording, ANearlyFullDiskRefusesToStartAndSaysHowMuchIsFree) {
    camera->SetMinimumFreeDiskMB(std::numeric_limits<int>::max());  // more than any disk holds
    ScriptPasses({20});
    ASSERT_TRUE(camera->StartRecording(output));
    ASSERT_TRUE(WaitForWorker());
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().rfind("error:Not enough disk space: ", 0), 0u) << events.front();
    EXPECT_NE(events.front().find(" MB are needed to start a recording."), std::string::npos);
    EXPECT_EQ(screen.GrabCount(), 0);
    EXPECT_EQ(avi.File(output), nullptr);
    // With room (the default minimum) the same recording runs.
    camera->SetMinimumFreeDiskMB(0);
    ScriptPasses({20});
    ASSERT_TRUE(camera->StartRecording(output));
    ASSERT_TRUE(WaitForWorker());
    EXPECT_NE(avi.File(output), nullptr);
}

}  // namespace
}  // namespace tolm
