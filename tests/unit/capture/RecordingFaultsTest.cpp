// Faults during a recording: a disk that fills, writes that fail, a display or sound input that goes away, an
// output another program holds. Each ends with one message and keeps what was recorded.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

#include "CameraFixture.h"
#include "capture/DiskWatch.h"
#include "platform/Files.h"

namespace tolm {
namespace {

using namespace std::chrono_literals;
constexpr std::uint64_t MB = TDiskWatch::kMB;

TEST(DiskWatch, UnknownUntilMeasuredThenTheFloorHolds) {
    TDiskWatch watch;
    EXPECT_EQ(watch.FreeMB(), -1);
    EXPECT_EQ(watch.SecondsLeft(), -1);
    EXPECT_FALSE(watch.TooFull());
    watch.Sample(0, 0, 1, std::nullopt);  // a file system that cannot be asked never stops a recording
    EXPECT_FALSE(watch.TooFull());
    watch.Sample(0, 0, 1, 100 * MB);
    EXPECT_EQ(watch.FreeMB(), 100);
    EXPECT_EQ(watch.SecondsLeft(), -1);  // no pace yet
    EXPECT_EQ(watch.ReserveBytes(), 16 * MB + 32);
    watch.Sample(999, 4 * MB, 50, 100 * MB);
    EXPECT_EQ(watch.BytesPerSecond(), 0);  // less than a second apart
}

TEST(DiskWatch, ReserveFollowsThePaceAndTheIndexAndStopsJustUnderIt) {
    TDiskWatch watch;
    watch.Sample(0, 0, 1, 1000 * MB);
    watch.Sample(1000, 2 * MB, 51, 1000 * MB);  // 2 MB/s: five seconds are 10 MB, under the floor
    EXPECT_DOUBLE_EQ(watch.BytesPerSecond(), 2.0 * MB);
    EXPECT_EQ(watch.ReserveBytes(), 16 * MB + 51 * 32);
    EXPECT_EQ(watch.SecondsLeft(), static_cast<std::int64_t>((1000 * MB - 16 * MB - 51 * 32) / (2 * MB)));
    watch.Sample(2000, 12 * MB, 101, 1000 * MB);  // 6 MB/s over both seconds: 30 MB
    EXPECT_EQ(watch.ReserveBytes(), 30 * MB + 101 * 32);
    const std::uint64_t reserve = watch.ReserveBytes();
    watch.Sample(2000, 12 * MB, 101, reserve);
    EXPECT_FALSE(watch.TooFull());
    EXPECT_EQ(watch.SecondsLeft(), 0);
    watch.Sample(2000, 12 * MB, 101, reserve - 1);
    EXPECT_TRUE(watch.TooFull());
}

TEST(DiskWatch, PaceIsTheLastFiveSecondsAndStartsAgainAfterAShrink) {
    TDiskWatch watch;
    for (int s = 0; s <= 10; ++s) watch.Sample(1000.0 * s, s * MB, 0, 1000 * MB);
    watch.Sample(11000, 20 * MB, 0, 1000 * MB);  // a burst: from 6 MB at 6 s to 20 MB at 11 s
    EXPECT_DOUBLE_EQ(watch.BytesPerSecond(), 14.0 * MB / 5.0);
    watch.Sample(12000, 1 * MB, 0, 1000 * MB);  // the file was replaced
    EXPECT_EQ(watch.BytesPerSecond(), 0);
    watch.Sample(13000, 2 * MB, 0, 1000 * MB);
    EXPECT_DOUBLE_EQ(watch.BytesPerSecond(), 1.0 * MB);
}

// Recordings on the worker whose passes are 250 ms apart; the disk's free space is the test's.
class Faults : public CameraTest {
  protected:
    void SetUp() override {
        CameraTest::SetUp();
        camera.reset();
        EngineServices services = Services();
        services.freeDiskBytes = [this](const std::string&) { return std::optional<std::uint64_t>(freeBytes.load()); };
        camera = std::make_unique<TScreenCamera>(services);
        camera->OnError = [this](TScreenCamera&, const std::string& text) { events.push_back("error:" + text); };
        camera->OnStart = [this](TScreenCamera&) { events.push_back("start"); };
        camera->SetRecordType(TTypeRecord::NoCompress);
        camera->ScreenArea().SetScreenRegion(TScreenRegion::FixedStable);
        camera->ScreenArea().SetBounds(Rect{0, 0, 32, 16});
        camera->SetRecordCursor(false);
        output = folder + "/out.avi";
        temp = FolderOf(Globals().TempVideoFile());
    }

    // Passes 0..`passes` (pass p reads p * 250 ms), then a stop and save; `fault` runs after the grab of each
    // pass, and with -1 after the settling's grab.
    void Record(int passes, std::function<void(int pass)> fault = {}) {
        const int first = screen.GrabCount() + 2;  // the settling's grab comes first
        screen.SetGrabHook([this, passes, fault, first](int grab) {
            const int pass = grab - first;
            if (fault) fault(pass);
            if (pass < 0) return;
            clock.Set(1000 + 250.0 * (pass + 1));
            if (pass == passes) camera->StopRecording();
        });
        clock.Set(1000);
        ASSERT_TRUE(camera->StartRecording(output));
        ASSERT_TRUE(loop.RunUntil([this] { return !camera->WorkerRunning(); }, 20s));
    }

    std::vector<std::string> Errors() const {
        std::vector<std::string> errors;
        for (const std::string& e : events)
            if (e.rfind("error:", 0) == 0) errors.push_back(e.substr(6));
        return errors;
    }
    std::vector<std::int32_t> SavedPositions() const {
        std::vector<std::int32_t> positions;
        if (const auto saved = avi.File(output))
            for (const auto& [p, sample] : saved->streams.front()->samples) positions.push_back(p);
        return positions;
    }
    std::vector<std::string> Kept() const {
        std::vector<std::string> kept;
        for (const auto& entry : std::filesystem::directory_iterator(temp)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("unsaved-", 0) == 0 && !name.ends_with("Note.txt")) kept.push_back(entry.path().string());
        }
        return kept;
    }

    std::atomic<std::uint64_t> freeBytes{1024 * MB};
    std::string output;
    std::string temp;
};

TEST_F(Faults, DiskUnderTheReserveStopsAsAUsersStopAndSaves) {
    std::atomic<std::int64_t> secondsLeft{0};
    Record(40, [&](int pass) {
        if (pass == 7) secondsLeft = camera->RecordingSecondsLeft();
        if (pass == 7) freeBytes = 10 * MB;  // the check at 2 s (pass 8) finds it
    });
    // Measured at 1 s: 8 KB a second of frames against a gigabyte.
    EXPECT_GT(secondsLeft.load(), 100000);
    EXPECT_EQ(Errors(), (std::vector<std::string>{
                            "Not enough disk space: the recording was stopped with 10 MB left in " + temp + "."}));
    EXPECT_EQ(camera->CapturedFrames(), 9);
    EXPECT_EQ(SavedPositions().size(), 9u);
    EXPECT_TRUE(Globals().SaveSucceeded);
    EXPECT_EQ(camera->FreeDiskMB(), 10);
    EXPECT_EQ(camera->RecordingSecondsLeft(), -1);  // no recording runs
    EXPECT_FALSE(FileExists(Globals().TempVideoFile()));
}

TEST_F(Faults, WriteFailureAfterTheFirstFrameSavesWhatWasWrittenWithoutTheCompressorQuestion) {
    const struct {
        std::uint64_t freeAtFailure;
        std::string text;
    } cases[] = {
        {1024 * MB, "Error on write data to AVI stream; the recording was stopped and what was written is saved."},
        {1 * MB, "Not enough disk space: the recording was stopped with 1 MB left in "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        events.clear();
        freeBytes = 1024 * MB;
        avi.failWriteAt = 38;  // pass 3's position
        Record(20, [&](int pass) {
            if (pass == 2) freeBytes = c.freeAtFailure;
        });
        ASSERT_EQ(Errors().size(), 1u);
        EXPECT_EQ(Errors().front().rfind(c.text, 0), 0u) << Errors().front();
        EXPECT_TRUE(host.Questions().empty());
        EXPECT_EQ(SavedPositions(), (std::vector<std::int32_t>{0, 12, 25}));
        EXPECT_EQ(Globals().StopReason.load(), TStopReason::StopAndSave);
        EXPECT_TRUE(Globals().SaveSucceeded);
    }
}

TEST_F(Faults, UnfinishedFileAndLeftOutFramesAreToldOnceAndTheRecordingIsSaved) {
    avi.finishResult = AVIERR_FILEWRITE;
    avi.leftOutAtFinish = 3;
    Record(3);
    EXPECT_EQ(Errors(),
              (std::vector<std::string>{
                  "The compressor did not keep up; 3 frames at the end were left out.",
                  "Error on write data to AVI stream; the recording was stopped and what was written is saved."}));
    EXPECT_EQ(SavedPositions().size(), 4u);
    EXPECT_EQ(avi.moves, 0);  // rebuilt by the save, not moved as it is
    EXPECT_TRUE(Globals().SaveSucceeded);
}

TEST_F(Faults, LostDisplaySavesWhatWasCaptured) {
    Record(20, [&](int pass) {
        if (pass == 3) screen.Disconnect();
    });
    EXPECT_EQ(Errors(), (std::vector<std::string>{"Error capturing a frame from screen. Lost the connection to the X "
                                                  "display. The recording was stopped; what was captured until then "
                                                  "is saved."}));
    EXPECT_EQ(SavedPositions().size(), 4u);
    EXPECT_EQ(Globals().StopReason.load(), TStopReason::StopAndSave);
    EXPECT_TRUE(Globals().SaveSucceeded);
}

TEST_F(Faults, DisplayLostBeforeTheFirstFrameLeavesNothingToSave) {
    Globals().StopReason = TStopReason::StopAndSave;  // left by an earlier recording
    Record(20, [&](int pass) {
        if (pass == -1) screen.Disconnect();
    });
    EXPECT_EQ(Errors(), (std::vector<std::string>{"Error capturing a frame from screen. Lost the connection to the X "
                                                  "display."}));
    EXPECT_FALSE(FileExists(output));
    EXPECT_FALSE(FileExists(Globals().TempVideoFile()));
    EXPECT_TRUE(Kept().empty());
}

// A recording with sound, whose input breaks off in pass `lost`; then a stop at pass `passes`.
class SoundFaults : public Faults {
  protected:
    void RecordLosingSound(int passes, int lost) {
        auto wave = std::make_shared<FakeAviLibrary::FileData>();
        auto sound = std::make_shared<FakeAviLibrary::StreamData>();
        sound->info.fccType = streamtypeAUDIO;
        sound->info.dwLength = 1;
        sound->samples[0] = {{1, 2}, 0};
        wave->streams.push_back(sound);
        avi.AddFile(Globals().TempAudioFile(), wave);
        camera->SetUseAudioRecord(true);
        Record(passes, [&](int pass) {
            if (pass != lost) return;
            ASSERT_TRUE(waveIn.WaitForRecording(2, 5000));
            // The device hands its buffers back and takes none again, as after its server died.
            const int before = waveIn.CallCount(FakeWaveCall::AddBuffer);
            waveIn.FailCall(FakeWaveCall::AddBuffer, MMSYSERR_NODRIVER);
            waveIn.Feed(32000, 0x40);
            // The buffer thread retries one buffer after the other: at the second refusal the first one's error
            // has been handled, before the recording goes on.
            const auto deadline = std::chrono::steady_clock::now() + 5s;
            while (waveIn.CallCount(FakeWaveCall::AddBuffer) < before + 2 &&
                   std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(1ms);
        });
    }
};

TEST_F(SoundFaults, LostSoundInputIsToldOnceAndThePictureGoesOnWithBothStreamsSaved) {
    RecordLosingSound(12, 2);
    const std::vector<std::string> errors = Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors.front().rfind("The sound input was lost; the recording goes on without sound.", 0), 0u)
        << errors.front();
    EXPECT_EQ(camera->CapturedFrames(), 13);
    const auto saved = avi.File(output);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->streams.size(), 2u);
    EXPECT_TRUE(Globals().SaveSucceeded);
}

// Lost as the recording ends (a stop, or the picture's end that came first): nothing goes on.
TEST_F(SoundFaults, ASoundInputLostAtTheEndIsNotSaidToGoOn) {
    RecordLosingSound(3, 3);
    const std::vector<std::string> errors = Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors.front().rfind("The sound input was lost; the recording has no sound from then on.", 0), 0u)
        << errors.front();
}

TEST_F(Faults, OutputHeldByAnotherProgramRefusesTheStartOrKeepsTheRecording) {
    std::ofstream(output) << "another program's file";
    auto another = std::make_unique<HeldFile>(output);
    ASSERT_TRUE(another->Held());
    Record(3);
    EXPECT_EQ(events, (std::vector<std::string>{"error:The file " + output +
                                                " is in use by another program; the recording was not started."}));
    EXPECT_EQ(screen.GrabCount(), 0);
    another.reset();

    // Held from the middle of the recording on: the file stays as it is, the recording stays in the
    // temporary folder under a kept name, and nothing is listed for deletion at the next start.
    events.clear();
    Record(3, [&](int pass) {
        if (pass != 1) return;
        another = std::make_unique<HeldFile>(output);
        ASSERT_TRUE(another->Held());
    });
    const std::vector<std::string> errors = Errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "The file " + output + " is in use by another program; the recording was not saved into it.");
    EXPECT_EQ(errors[1].rfind("The recording was not saved; it is kept in " + temp + "/unsaved-", 0), 0u) << errors[1];
    EXPECT_EQ(Kept().size(), 1u);
    EXPECT_FALSE(Globals().SaveSucceeded);
    another.reset();
    EXPECT_EQ(RunDeletionsAtStart(), 0);
    std::string content;
    std::getline(std::ifstream(output), content);
    EXPECT_EQ(content, "another program's file");
}

TEST_F(Faults, SaveOntoAFullDiskSaysSoAndKeepsTheRecording) {
    avi.saveResult = AVIERR_FILEWRITE;
    Record(3, [&](int pass) {
        if (pass == 2) freeBytes = 1 * MB;
    });
    const std::vector<std::string> errors = Errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "Not enough disk space: the recording could not be saved in " + folder +
                             " (1 MB free, about 1 MB needed).");
    EXPECT_EQ(errors[1].rfind("The recording was not saved; it is kept in ", 0), 0u) << errors[1];
    EXPECT_EQ(Kept().size(), 1u);
}

}  // namespace
}  // namespace tolm
