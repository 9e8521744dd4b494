// What interrupted recordings left in the temporary folder: found, described, saved or deleted, and never lost
// by a save that did not happen.
#include <chrono>
#include <fstream>
#include <set>

#include "CameraFixture.h"
#include "capture/CaptureGlobals.h"
#include "platform/Files.h"
#include "support/TestSystem.h"

namespace tolm {
namespace {

namespace fs = std::filesystem;
using Leftover = TScreenCamera::LeftoverRecording;

class LeftoverRecordings : public CameraTest {
  protected:
    void SetUp() override {
        CameraTest::SetUp();
        temp = FolderOf(Globals().TempVideoFile());
        camera->OnSaving = [this](TScreenCamera&, int percent, const std::string& caption, bool& go) {
            saving.push_back(std::to_string(percent) + " " + caption);
            if (cancelAt >= 0 && percent >= cancelAt) go = false;
        };
    }

    // A file the AVI library reads as one stream of `length` samples, `bytes` long on disk, last written
    // `age` ago.
    std::string Readable(const std::string& name, bool video, std::uint32_t length, std::size_t bytes,
                         std::chrono::minutes age) {
        const std::string path = temp + "/" + name;
        auto data = std::make_shared<FakeAviLibrary::FileData>();
        auto stream = std::make_shared<FakeAviLibrary::StreamData>();
        stream->info.fccType = video ? streamtypeVIDEO : streamtypeAUDIO;
        stream->info.dwScale = video ? 1 : 2;
        stream->info.dwRate = video ? 50 : 16000;  // 50 frames, or 8000 two-byte samples, a second
        stream->info.dwLength = length;
        stream->format = {1, 2, 3, 4};
        for (std::uint32_t p = 0; p < length; ++p) stream->samples[static_cast<std::int32_t>(p)] = {{1, 2}, 0};
        data->streams.push_back(stream);
        avi.AddFile(path, data);
        Unregistered(name, bytes, age);
        return path;
    }
    // A file of that size the AVI library cannot read.
    std::string Unregistered(const std::string& name, std::size_t bytes, std::chrono::minutes age) {
        const std::string path = temp + "/" + name;
        std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
        fs::last_write_time(path, fs::file_time_type::clock::now() - age);
        return path;
    }

    std::string temp;
    std::vector<std::string> saving;
    int cancelAt = -1;
};

constexpr std::size_t kMB = 1024 * 1024;

TEST_F(LeftoverRecordings, KilledAndPutAsidePairsAreListedNewestFirstWithSizeLengthAndSound) {
    Readable("tmpVideoStream.avi", true, 100, kMB + kMB / 2, std::chrono::minutes(60));
    Readable("tmpAudioStream.wav", false, 16000, kMB / 2, std::chrono::minutes(60));
    Readable("unsaved-20240101-120000-tmpVideoStream.avi", true, 500, kMB, std::chrono::minutes(120));
    Readable("unsaved-20240101-120000-tmpAudioStream.wav", false, 8000, kMB, std::chrono::minutes(120));
    Readable("unsaved-20240101-130000-tmpAudioStream.wav", false, 24000, kMB / 10, std::chrono::minutes(30));
    // Not recordings: empty files, other names.
    Unregistered("unsaved-20240101-140000-tmpVideoStream.avi", 0, std::chrono::minutes(1));
    Unregistered("unsaved-20240101-140000-notes.txt", 100, std::chrono::minutes(1));
    Unregistered("tmpVideoStream.avi.bak", 100, std::chrono::minutes(1));

    const std::vector<Leftover> found = camera->LeftoverRecordings();
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].videoFile, "");
    EXPECT_EQ(found[0].audioFile, temp + "/unsaved-20240101-130000-tmpAudioStream.wav");
    EXPECT_EQ(found[0].Description().rfind("0.1 MB, about 3 s, sound only, no picture, last written ", 0), 0u)
        << found[0].Description();
    EXPECT_EQ(found[1].videoFile, temp + "/tmpVideoStream.avi");
    EXPECT_EQ(found[1].audioFile, temp + "/tmpAudioStream.wav");
    EXPECT_EQ(found[1].bytes, 2 * kMB);
    EXPECT_DOUBLE_EQ(found[1].seconds, 2.0);  // the picture's length, not the sound's
    EXPECT_EQ(found[1].Description().rfind("2.0 MB, about 2 s, with sound, last written ", 0), 0u)
        << found[1].Description();
    EXPECT_EQ(found[2].videoFile, temp + "/unsaved-20240101-120000-tmpVideoStream.avi");
    EXPECT_EQ(found[2].audioFile, temp + "/unsaved-20240101-120000-tmpAudioStream.wav");
    EXPECT_GT(found[1].time, found[2].time);
}

TEST_F(LeftoverRecordings, AnUnreadablePictureFallsBackToTheSoundsLengthAndNeitherGivesNone) {
    Unregistered("tmpVideoStream.avi", 1000, std::chrono::minutes(5));
    Readable("tmpAudioStream.wav", false, 16000, 1000, std::chrono::minutes(5));
    Unregistered("unsaved-1-tmpVideoStream.avi", 1000, std::chrono::minutes(10));
    const std::vector<Leftover> found = camera->LeftoverRecordings();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_DOUBLE_EQ(found[0].seconds, 2.0);
    EXPECT_TRUE(found[0].readable);
    EXPECT_EQ(found[1].seconds, -1);
    EXPECT_FALSE(found[1].readable);
    EXPECT_EQ(found[1].Description().find("about"), std::string::npos);
    EXPECT_EQ(found[1].Description().find("sound"), std::string::npos);
}

TEST_F(LeftoverRecordings, RecoveryJoinsPictureAndSoundThenDeletesTheirFiles) {
    const std::string video = Readable("tmpVideoStream.avi", true, 100, 1000, std::chrono::minutes(5));
    const std::string sound = Readable("tmpAudioStream.wav", false, 16000, 1000, std::chrono::minutes(5));
    const std::string output = folder + "/out.avi";
    ASSERT_TRUE(camera->RecoverLeftover(camera->LeftoverRecordings().at(0), output))
        << ::testing::PrintToString(events);
    EXPECT_TRUE(Globals().SaveSucceeded);
    const auto saved = avi.File(output);
    ASSERT_NE(saved, nullptr);
    ASSERT_EQ(saved->streams.size(), 2u);
    EXPECT_EQ(saved->streams[0]->info.fccType, streamtypeVIDEO);
    EXPECT_EQ(saved->streams[0]->samples.size(), 100u);
    EXPECT_EQ(saved->streams[1]->info.fccType, streamtypeAUDIO);
    EXPECT_EQ(saved->saveHandlers, (std::vector<std::uint32_t>{0, 0}));  // copied as recorded
    EXPECT_EQ(saving.back(), "100 Saving Success...");
    EXPECT_FALSE(FileExists(video));
    EXPECT_FALSE(FileExists(sound));
    EXPECT_TRUE(events.empty()) << ::testing::PrintToString(events);
    EXPECT_TRUE(camera->LeftoverRecordings().empty());
}

// What the recording's note says is kept: 2 s of picture at 20 ms a frame, to be compressed with AAAA afterwards.
TEST_F(LeftoverRecordings, ANotedRecordingIsSavedAsItsSaveWouldHaveMadeIt) {
    Readable("tmpVideoStream.avi", true, 100, 1000, std::chrono::minutes(5));
    Readable("tmpAudioStream.wav", false, 24000, 1000, std::chrono::minutes(5));  // a second beyond the picture
    RecordingNote note;
    note.outputFile = folder + "/out/crash.avi";
    note.recordType = TTypeRecord::CompressAfterRecord;
    note.compressor = MakeFourCC('A', 'A', 'A', 'A');
    note.mspf = 20;
    std::ofstream(Globals().TempNoteFile(), std::ios::binary) << note.Text();  // as the recorder writes it
    const Leftover leftover = camera->LeftoverRecordings().at(0);
    ASSERT_TRUE(leftover.note.has_value());
    EXPECT_EQ(leftover.note->outputFile, note.outputFile);

    const std::string output = folder + "/out.avi";
    ASSERT_TRUE(camera->RecoverLeftover(leftover, output)) << ::testing::PrintToString(events);
    const auto saved = avi.File(output);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->saveHandlers, (std::vector<std::uint32_t>{note.compressor, 0}));
    ASSERT_EQ(saved->streams.size(), 2u);
    EXPECT_EQ(saved->streams[1]->info.dwLength, 16000u);
    EXPECT_FALSE(FileExists(Globals().TempNoteFile()));
}

// A second recorder keeps its files in a folder of its own, held while it runs; once it is killed they are
// found there, and the folder goes once nothing is left in it.
TEST_F(LeftoverRecordings, AKilledFurtherRecordersFolderIsLookedAtAndARunningOnesIsNot) {
    for (const char* instance : {"/instance-101", "/instance-102"}) {
        fs::create_directory(temp + instance);
        fs::permissions(temp + instance, fs::perms::owner_all);
    }
    const std::string killed = Readable("instance-101/tmpVideoStream.avi", true, 50, 1000, std::chrono::minutes(5));
    const std::string running = Readable("instance-102/tmpVideoStream.avi", true, 50, 1000, std::chrono::minutes(1));
    const HeldFolderLock runningLock(temp + "/instance-102");
    ASSERT_TRUE(runningLock.Held());

    const std::vector<Leftover> found = camera->LeftoverRecordings();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].videoFile, killed);
    EXPECT_TRUE(camera->DiscardLeftover(found[0]));
    EXPECT_TRUE(camera->LeftoverRecordings().empty());
    EXPECT_FALSE(fs::exists(temp + "/instance-101"));
    EXPECT_TRUE(FileExists(running));
}

TEST_F(LeftoverRecordings, SoundAloneIsSavedAsASoundOnlyFile) {
    const std::string sound = Readable("unsaved-7-tmpAudioStream.wav", false, 8000, 1000, std::chrono::minutes(5));
    const std::string output = folder + "/sound.avi";
    ASSERT_TRUE(camera->RecoverLeftover(camera->LeftoverRecordings().at(0), output));
    ASSERT_EQ(avi.File(output)->streams.size(), 1u);
    EXPECT_EQ(avi.File(output)->streams[0]->info.fccType, streamtypeAUDIO);
    EXPECT_FALSE(FileExists(sound));
}

TEST_F(LeftoverRecordings, ASaveThatFailsOrIsCancelledKeepsEveryFileAndSaysWhere) {
    const std::string video = Readable("tmpVideoStream.avi", true, 10, 1000, std::chrono::minutes(5));
    const std::string sound = Readable("tmpAudioStream.wav", false, 100, 1000, std::chrono::minutes(5));
    const Leftover leftover = camera->LeftoverRecordings().at(0);
    avi.saveResult = AVIERR_FILEWRITE;
    EXPECT_FALSE(camera->RecoverLeftover(leftover, folder + "/out.avi"));
    EXPECT_FALSE(Globals().SaveSucceeded);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], "error:Error: writing files! The interrupted recording was not saved; it is kept in " + video +
                             " and " + sound + ".");

    avi.saveResult = AVIERR_OK;
    cancelAt = 30;
    events.clear();
    EXPECT_FALSE(camera->RecoverLeftover(leftover, folder + "/out.avi"));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].rfind("error:The save was cancelled. The interrupted recording was not saved", 0), 0u);
    EXPECT_TRUE(FileExists(video));
    EXPECT_TRUE(FileExists(sound));
    EXPECT_EQ(camera->LeftoverRecordings().size(), 1u);  // offered again next time

    // An output another program holds is neither replaced nor taken as the recording's place.
    cancelAt = -1;
    events.clear();
    const std::string held = folder + "/held.avi";
    std::ofstream(held) << "another program's file";
    {
        const HeldFile another(held);
        ASSERT_TRUE(another.Held());
        EXPECT_FALSE(camera->RecoverLeftover(leftover, held));
    }
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].rfind("error:The file " + held + " is in use by another program", 0), 0u) << events[0];
    EXPECT_EQ(avi.File(held), nullptr);
    EXPECT_TRUE(FileExists(video));
    EXPECT_TRUE(FileExists(sound));
}

TEST_F(LeftoverRecordings, AnUnreadablePartIsLeftOutAndKeptWhileTheRestIsSaved) {
    const std::string video = Unregistered("tmpVideoStream.avi", 1000, std::chrono::minutes(5));
    const std::string sound = Readable("tmpAudioStream.wav", false, 100, 1000, std::chrono::minutes(5));
    const std::string output = folder + "/out.avi";
    ASSERT_TRUE(camera->RecoverLeftover(camera->LeftoverRecordings().at(0), output));
    ASSERT_EQ(avi.File(output)->streams.size(), 1u);
    EXPECT_TRUE(FileExists(video));
    EXPECT_FALSE(FileExists(sound));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0],
              "error:The interrupted recording was saved without its picture: The file could not be read, "
              "indicating a corrupt file or an unrecognized format. That part is kept in " +
                  video + ".");
}

TEST_F(LeftoverRecordings, NothingReadableOrNothingRecordedSavesNothingAndKeepsTheFiles) {
    const std::string video = Unregistered("tmpVideoStream.avi", 1000, std::chrono::minutes(5));
    const std::string empty = Readable("unsaved-2-tmpVideoStream.avi", true, 0, 1000, std::chrono::minutes(9));
    const std::vector<Leftover> found = camera->LeftoverRecordings();
    ASSERT_EQ(found.size(), 2u);
    const std::string output = folder + "/out.avi";
    EXPECT_FALSE(camera->RecoverLeftover(found[0], output));
    EXPECT_FALSE(camera->RecoverLeftover(found[1], output));
    EXPECT_FALSE(FileExists(output));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0],
              "error:The interrupted recording cannot be read: The file could not be read, indicating a "
              "corrupt file or an unrecognized format. Nothing was saved; it is kept in " +
                  video + ".");
    EXPECT_EQ(events[1],
              "error:The interrupted recording cannot be read: It holds no whole frame or sample. Nothing "
              "was saved; it is kept in " +
                  empty + ".");
    EXPECT_TRUE(FileExists(video));
    EXPECT_TRUE(FileExists(empty));
}

TEST_F(LeftoverRecordings, ItsOwnFileIsNoOutputAndDiscardDeletesBoth) {
    const std::string video = Readable("tmpVideoStream.avi", true, 10, 1000, std::chrono::minutes(5));
    const std::string sound = Readable("tmpAudioStream.wav", false, 100, 1000, std::chrono::minutes(5));
    const Leftover leftover = camera->LeftoverRecordings().at(0);
    EXPECT_FALSE(camera->RecoverLeftover(leftover, video));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].rfind("error:An interrupted recording cannot be saved over its own file", 0), 0u);
    EXPECT_TRUE(FileExists(video));

    EXPECT_TRUE(camera->DiscardLeftover(leftover));
    EXPECT_FALSE(FileExists(video));
    EXPECT_FALSE(FileExists(sound));
    EXPECT_TRUE(camera->LeftoverRecordings().empty());
}

TEST_F(LeftoverRecordings, PairsPutAsideWithinOneSecondKeepTheirOwnNames) {
    for (int pair = 0; pair < 3; ++pair) {
        std::ofstream(Globals().TempVideoFile()) << "picture " << pair;
        std::ofstream(Globals().TempAudioFile()) << "sound " << pair;
        ASSERT_TRUE(EngineTestAccess::KeepTempFilesForRecovery(*camera));
    }
    const std::vector<Leftover> found = camera->LeftoverRecordings();
    ASSERT_EQ(found.size(), 3u);
    std::set<std::string> pictures;
    for (const Leftover& l : found) {
        ASSERT_FALSE(l.videoFile.empty());
        ASSERT_FALSE(l.audioFile.empty());
        // The two halves of one pair carry the same prefix.
        EXPECT_EQ(l.videoFile.substr(0, l.videoFile.size() - 18), l.audioFile.substr(0, l.audioFile.size() - 18));
        std::ifstream in(l.videoFile);
        std::string word, number;
        in >> word >> number;
        pictures.insert(number);
    }
    EXPECT_EQ(pictures, (std::set<std::string>{"0", "1", "2"}));
}

// The runtime folder earlier versions kept their temporary files in.
class FormerFolder : public LeftoverRecordings {
  protected:
    void SetUp() override {
        LeftoverRecordings::SetUp();
        const std::string runtime = folder + "/run";
        temp = runtime + "/tolm-screen-capture";
        fs::create_directories(temp);
        fs::permissions(temp, fs::perms::owner_all);
        SetTestEnvironment("XDG_RUNTIME_DIR", runtime);
        video = Readable("tmpVideoStream.avi", true, 10, 1000, std::chrono::minutes(5));
        sound = Readable("unsaved-20240101-120000-tmpAudioStream.wav", false, 100, 1000, std::chrono::minutes(9));
    }
    std::string video;
    std::string sound;
};

TEST_F(FormerFolder, ItsLeftoversAreFoundUntilNoneIsLeftThenItGoes) {
    const std::vector<Leftover> found = camera->LeftoverRecordings();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].videoFile, video);
    EXPECT_EQ(found[1].audioFile, sound);
    for (const Leftover& l : found) EXPECT_TRUE(camera->DiscardLeftover(l));
    EXPECT_TRUE(camera->LeftoverRecordings().empty());
    EXPECT_FALSE(fs::exists(temp));
}

TEST_F(FormerFolder, AFolderHeldByARecorderOfAnEarlierVersionIsLeftAlone) {
    std::ofstream(temp + "/instance.lock").flush();
    {
        const HeldFile another(temp + "/instance.lock");
        ASSERT_TRUE(another.Held());
        EXPECT_TRUE(camera->LeftoverRecordings().empty());
    }
    EXPECT_TRUE(FileExists(video));
}

}  // namespace
}  // namespace tolm
