#include <fstream>
#include <memory>

#include "CameraFixture.h"
#include "capture/AviErrors.h"
#include "platform/Files.h"

namespace tolm {
namespace {

class SavePhase : public CameraTest {
  protected:
    void SetUp() override {
        CameraTest::SetUp();
        camera->SetRecordType(TTypeRecord::NoCompress);
        camera->ScreenArea().SetBounds(Rect{0, 0, 32, 16});
        camera->OnSaving = [this](TScreenCamera&, int percent, const std::string& caption, bool& cont) {
            saving.push_back(std::to_string(percent) + " " + caption);
            if (stopAtPercent >= 0 && percent >= stopAtPercent) cont = false;
        };
        camera->OnDeleting = [this](TScreenCamera&, int percent, const std::string&, bool&) {
            deleting.push_back(percent);
        };
        output = folder + "/out.avi";
    }

    // A recording of frames at the given positions, ended for saving, as the worker runs it.
    RecordOutcome RecordAndSave(std::vector<int> positions) {
        const RecordOutcome result = EngineTestAccess::RecordAVI(*camera, output, [&](RecordingSession& session) {
            for (int p : positions) {
                std::optional<PackedDib> dib = camera->CaptureFrame(TCaptureMode::cmDib, nullptr, 0, 0, 32, 16, false);
                EngineTestAccess::WriteFrame(*camera, session, p, *dib);
            }
            Globals().StopReason = TStopReason::StopAndSave;
        });
        EngineTestAccess::ReportSaveSuccess(*camera);
        return result;
    }

    static void WriteFile(const std::string& path) { std::ofstream(path) << "old recording"; }

    std::vector<std::string> saving;
    std::vector<int> deleting;
    int stopAtPercent = -1;
    std::string output;
};

TEST_F(SavePhase, VideoAloneGivesOneStream) {
    EXPECT_EQ(RecordAndSave({0, 2, 4, 7}), RecordOutcome::recorded);
    const auto saved = avi.File(output);
    ASSERT_NE(saved, nullptr);
    ASSERT_EQ(saved->streams.size(), 1u);
    EXPECT_EQ(saved->streams[0]->samples.size(), 4u);
    EXPECT_EQ(saving.front(), "0 Saving Video...");
    EXPECT_EQ(saving.back(), "100 Saving Success...");
    EXPECT_TRUE(Globals().SaveSucceeded);
}

TEST_F(SavePhase, SoundBecomesTheSecondStream) {
    auto wave = std::make_shared<FakeAviLibrary::FileData>();
    auto audio = std::make_shared<FakeAviLibrary::StreamData>();
    audio->info.fccType = streamtypeAUDIO;
    audio->info.dwLength = 1;
    audio->samples[0] = {{1, 2, 3, 4}, 0};
    wave->streams.push_back(audio);
    avi.AddFile(Globals().TempAudioFile(), wave);
    camera->SetUseAudioRecord(true);

    EXPECT_EQ(RecordAndSave({0}), RecordOutcome::recorded);
    const auto saved = avi.File(output);
    ASSERT_EQ(saved->streams.size(), 2u);
    EXPECT_EQ(saved->streams[0]->info.fccType, streamtypeVIDEO);
    EXPECT_EQ(saved->streams[1]->info.fccType, streamtypeAUDIO);
}

TEST_F(SavePhase, PictureAloneIsMovedIntoPlaceWithTheSavesReports) {
    EXPECT_EQ(RecordAndSave({0, 2}), RecordOutcome::recorded);
    EXPECT_EQ(avi.moves, 1);
    EXPECT_FALSE(FileExists(Globals().TempVideoFile()));
    EXPECT_EQ(saving, (std::vector<std::string>{"0 Saving Video...", "100 Saving Video...", "100 Saving Success..."}));
}

TEST_F(SavePhase, SaveStoppedBeforeTheMoveKeepsTheTemporaryFile) {
    stopAtPercent = 0;
    RecordAndSave({0});
    EXPECT_EQ(avi.moves, 0);
    EXPECT_TRUE(FileExists(Globals().TempVideoFile()));
    EXPECT_EQ(avi.File(output), nullptr);
}

TEST_F(SavePhase, CancelledSaveReportsUserAbortAndNoSuccess) {
    avi.moveResult = AVIERR_UNSUPPORTED;  // another file system: copied instead, with steps to stop at
    stopAtPercent = 40;
    RecordAndSave({0});
    EXPECT_EQ(saving.back(), "40 Saving Video...");
    const std::vector<std::string> tail(events.end() - 2, events.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"error:Error: user abort!", "stop"}));
    EXPECT_FALSE(Globals().SaveSucceeded);
    EXPECT_EQ(avi.File(output), nullptr);
}

// Frames an encoder still holds at the stop are finished as the save's first part, shown as its progress.
TEST_F(SavePhase, FramesStillQueuedAtTheStopShowAsSaveProgress) {
    avi.pendingAtFinish = 4;
    EXPECT_EQ(RecordAndSave({0, 1}), RecordOutcome::recorded);
    ASSERT_GT(saving.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(saving.begin(), saving.begin() + 5),
              (std::vector<std::string>{"0 Saving Video...", "24 Saving Video...", "49 Saving Video...",
                                        "74 Saving Video...", "0 Saving Video..."}));
    EXPECT_EQ(saving.back(), "100 Saving Success...");
    EXPECT_TRUE(Globals().SaveSucceeded);
}

TEST_F(SavePhase, CancelWhileQueuedFramesAreFinishedAbortsTheSave) {
    avi.pendingAtFinish = 4;
    stopAtPercent = 24;
    RecordAndSave({0, 1});
    EXPECT_EQ(saving.back(), "24 Saving Video...");
    const std::vector<std::string> tail(events.end() - 2, events.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"error:Error: user abort!", "stop"}));
    EXPECT_FALSE(Globals().SaveSucceeded);
    EXPECT_EQ(avi.File(output), nullptr);
}

// A stop must reach the stream at once: a write waiting there for a slow compressor would hold it.
TEST_F(SavePhase, StopLetsTheStreamsWaitingWriteGo) {
    EngineTestAccess::RecordAVI(*camera, output, [&](RecordingSession&) {
        EXPECT_EQ(avi.stopWaitsHeard, 0);
        camera->StopRecording();
        EXPECT_EQ(avi.stopWaitsHeard, 1);
    });
}

TEST_F(SavePhase, CancelledRecordingIsNotSaved) {
    avi.pendingAtFinish = 3;  // let go without a word: nothing of it is kept
    const RecordOutcome result = EngineTestAccess::RecordAVI(
        *camera, output, [](RecordingSession&) { Globals().StopReason = TStopReason::Cancel; });
    EXPECT_EQ(result, RecordOutcome::recorded);
    EXPECT_EQ(avi.File(output), nullptr);
    EXPECT_TRUE(saving.empty());
    EXPECT_EQ(events, (std::vector<std::string>{"stop"}));
}

TEST_F(SavePhase, CompressAfterRecordCompressesAtSave) {
    compressors.Add(FakeCompressorManager::Codec("AAAA"));
    camera->GetVideoCodecList();
    camera->SetSelectedCompressor(0);
    camera->SetRecordType(TTypeRecord::CompressAfterRecord);
    EXPECT_EQ(RecordAndSave({0}), RecordOutcome::recorded);
    EXPECT_EQ(avi.File(Globals().TempVideoFile())->streams[0]->info.fccHandler, 0u);
    EXPECT_EQ(avi.File(output)->saveHandlers, (std::vector<std::uint32_t>{MakeFourCC('A', 'A', 'A', 'A')}));
}

// A save that fails (a full disk, a kill) leaves the old file as it was: it goes only when the new one takes
// its place.
TEST_F(SavePhase, ExistingOutputStaysUntilTheNewOneReplacesIt) {
    WriteFile(output);
    avi.saveResult = AVIERR_FILEWRITE;
    RecordAndSave({0});
    EXPECT_FALSE(Globals().SaveSucceeded);
    std::ifstream old(output);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}), "old recording");
    avi.saveResult = AVIERR_OK;
    EXPECT_EQ(RecordAndSave({0}), RecordOutcome::recorded);
    EXPECT_NE(avi.File(output), nullptr);
}

TEST_F(SavePhase, FileHeldByAnotherProgramWaitsForTheNextStart) {
    const std::string held = folder + "/held.avi";
    WriteFile(held);
    auto another = std::make_unique<HeldFile>(held);
    ASSERT_TRUE(another->Held());
    EXPECT_TRUE(FileInUse(held));

    EXPECT_TRUE(EngineTestAccess::DeleteTempFile(*camera, held));  // true: its deletion is scheduled
    std::vector<int> expected;
    for (int i = 1; i <= 50; ++i) expected.push_back(2 * i);
    EXPECT_EQ(deleting, expected);
    EXPECT_TRUE(FileExists(held));

    another.reset();
    EXPECT_EQ(RunDeletionsAtStart(), 1);
    EXPECT_FALSE(FileExists(held));
}

TEST_F(SavePhase, DeletionStoppedByTheHandler) {
    const std::string file = folder + "/keep.avi";
    WriteFile(file);
    camera->OnDeleting = [this](TScreenCamera&, int percent, const std::string&, bool& cont) {
        deleting.push_back(percent);
        cont = false;
    };
    EXPECT_FALSE(EngineTestAccess::DeleteTempFile(*camera, file));
    EXPECT_EQ(deleting, (std::vector<int>{2, 100}));
    EXPECT_TRUE(FileExists(file));
}

TEST_F(SavePhase, OutputThatCannotBeWrittenIsAMessage) {
    output = "/etc/passwd/out.avi";
    EXPECT_EQ(RecordAndSave({0}), RecordOutcome::recorded);
    EXPECT_NE(std::find(events.begin(), events.end(), "error:Error: opening files!"), events.end());
    EXPECT_FALSE(Globals().SaveSucceeded);
}

TEST_F(SavePhase, VanishedTemporaryFileIsReported) {
    EngineTestAccess::RecordAVI(*camera, output, [this](RecordingSession& session) {
        EngineTestAccess::WriteFrame(*camera, session, 0,
                                     *camera->CaptureFrame(TCaptureMode::cmDib, nullptr, 0, 0, 32, 16, false));
        RemoveFile(Globals().TempVideoFile());
        Globals().StopReason = TStopReason::StopAndSave;
    });
    EXPECT_FALSE(Globals().SaveSucceeded);
    ASSERT_FALSE(events.empty());
    EXPECT_NE(
        std::find_if(events.begin(), events.end(),
                     [](const std::string& e) { return e.find("is gone; nothing was saved.") != std::string::npos; }),
        events.end());
}

TEST_F(SavePhase, SaveFailureRaisesStopAgain) {
    avi.saveResult = AviError(0x80044076);
    RecordAndSave({0});
    EXPECT_EQ(std::count(events.begin(), events.end(), "stop"), 2);
    EXPECT_NE(std::find(events.begin(), events.end(), "error:Avi error number: -2147205002"), events.end());
}

TEST(AviErrorTexts, SaveAndOpenTables) {
    EXPECT_EQ(SaveErrorText(AVIERR_OK), "");
    EXPECT_EQ(SaveErrorText(AVIERR_UNSUPPORTED), "Error: unsupported format!");
    EXPECT_EQ(SaveErrorText(AVIERR_CANTCOMPRESS), "Error: cannot compress!");
    EXPECT_EQ(SaveErrorText(AVIERR_USERABORT), "Error: user abort!");
    EXPECT_EQ(SaveErrorText(AVIERR_ERROR), "Error: generic!");
    EXPECT_EQ(SaveErrorText(AviError(0x80044076)), "Avi error number: -2147205002");
    EXPECT_EQ(OpenErrorText(AVIERR_OK), "");
    EXPECT_EQ(OpenErrorText(AVIERR_BADFORMAT),
              "The file could not be read, indicating a corrupt file or an unrecognized format.");
    EXPECT_EQ(OpenErrorText(AVIERR_FILEOPEN), "A disk error occurred while opening the stream file.");
    EXPECT_EQ(OpenErrorText(AVIERR_UNSUPPORTED), "Unknown error opening stream file");
}

}  // namespace
}  // namespace tolm
