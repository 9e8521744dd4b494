// Temporary files of a recording cut short at any byte, as a full disk, a power cut or a killed recorder leaves
// them, recovered over the real FFmpeg services: never a crash, either a playable file holding at most what was
// before the cut, or one clear message with the files kept.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "integration/recording/FfmpegEngineFixture.h"
#include "platform/Files.h"
#include "support/EngineTestAccess.h"

namespace tolm {
namespace {

namespace fs = std::filesystem;
using Leftover = TScreenCamera::LeftoverRecording;

constexpr Rect kArea{0, 0, 16, 8};
constexpr int kFrames = 60;
constexpr std::size_t kSoundBytes = 8000;  // half a second of the recorder's default 8 kHz 16-bit mono

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Where each frame's chunk ends in the temporary AVI file: a cut at or after that byte keeps the frame whole.
std::vector<std::size_t> FrameEnds(const std::string& avi) {
    std::vector<std::size_t> ends;
    const std::size_t movi = avi.find("movi");
    if (movi == std::string::npos) return ends;
    for (std::size_t at = movi + 4; at + 8 <= avi.size();) {
        std::uint32_t size = 0;
        std::memcpy(&size, avi.data() + at + 4, 4);
        const std::string id = avi.substr(at, 4);
        if (id == "LIST") {
            at += 12;  // into the list
            continue;
        }
        const std::size_t end = at + 8 + size + (size & 1);
        if (id.substr(2) == "db" || id.substr(2) == "dc") ends.push_back(end);
        if (id == "idx1" || id.substr(0, 2) == "ix") break;
        at = end;
    }
    return ends;
}

class TruncatedLeftover : public FfmpegEngineTest {
  protected:
    void SetUp() override {
        FfmpegEngineTest::SetUp();
        if (HasFatalFailure()) return;
        camera->SetRecordType(TTypeRecord::NoCompress);
        camera->SetUseAudioRecord(true);
        camera->ScreenArea().SetBounds(kArea);
        RecordTemplates();
        cut = folder.Path("cut");
        partner = folder.Path("partner");
        output = folder.Path("out.avi");
    }
    // A recording of kFrames frames, each its own grey, with sound. The picture is taken twice: as it is on disk
    // before the recording ends (what a killed recorder leaves) and once its file is complete (what a failed
    // save puts aside).
    void RecordTemplates() {
        EngineTestAccess::RecordAVI(*camera, folder.Path("never.avi"), [this](RecordingSession& session) {
            std::size_t fed = 0;
            for (int attempt = 0; fed < kSoundBytes && attempt < 200; ++attempt) {
                ASSERT_TRUE(waveIn.WaitForRecording(1, 5000));
                fed += waveIn.Feed(std::min<std::size_t>(1000, kSoundBytes - fed), 0x40);
            }
            ASSERT_EQ(fed, kSoundBytes);
            for (int p = 0; p < kFrames; ++p) {
                screen.FillRect(kArea, 0x030303u * static_cast<std::uint32_t>(p + 1));
                std::optional<PackedDib> dib = camera->CaptureFrame(TCaptureMode::cmDib, nullptr, kArea.left, kArea.top,
                                                                    kArea.width, kArea.height, false);
                ASSERT_TRUE(dib.has_value());
                ASSERT_TRUE(EngineTestAccess::WriteFrame(*camera, session, p, *dib));
            }
            killed = ReadAll(Globals().TempVideoFile());
            // A cancel lets the encoder's queue go; the put-aside picture is the one a kept recording ends with.
            if (session.compressed) session.compressed->FinishWrites({});
            Globals().StopReason = TStopReason::Cancel;
        });
        finished = ReadAll(Globals().TempVideoFile());
        // The sound reaches its file from the recorder's own thread: it is all there once the recording ended.
        sound = ReadAll(Globals().TempAudioFile());
        ASSERT_GT(sound.size(), 4096u);
        soundData = sound.find("data");
        ASSERT_NE(soundData, std::string::npos);
        soundData += 8;
    }

    // The video samples as our reader gives them (empty for a skipped position).
    std::vector<std::vector<std::uint8_t>> ReadFrames(const std::string& file) {
        std::vector<std::vector<std::uint8_t>> result;
        std::unique_ptr<AviFile> opened;
        std::shared_ptr<AviStream> stream;
        if (avi->OpenFile(file, AviOpenMode::read, opened) != AVIERR_OK ||
            opened->GetStream(streamtypeVIDEO, 0, stream) != AVIERR_OK)
            return result;
        for (std::uint32_t p = 0; p < stream->Info().dwLength; ++p) {
            std::vector<std::uint8_t> data;
            std::uint32_t flags = 0;
            EXPECT_EQ(stream->Read(static_cast<std::int32_t>(p), data, flags), AVIERR_OK) << file << " at " << p;
            result.push_back(std::move(data));
        }
        return result;
    }
    // Bytes in the output's sound stream, or -1 when it has none.
    std::int64_t SoundBytes(const std::string& file) {
        std::unique_ptr<AviFile> opened;
        std::shared_ptr<AviStream> stream;
        if (avi->OpenFile(file, AviOpenMode::read, opened) != AVIERR_OK ||
            opened->GetStream(streamtypeAUDIO, 0, stream) != AVIERR_OK)
            return -1;
        return static_cast<std::int64_t>(stream->Info().dwLength) * stream->Info().dwSampleSize;
    }

    // Recovers `bytes` cut to `at` bytes, beside the intact `other` file when there is one, and checks what every
    // recovery must hold; returns the number of whole video frames or sound bytes saved from the cut file (-1:
    // none). ffmpeg checks every `probeEvery`-th saved output, and the sound's samples with it.
    struct Cut {
        const std::string& bytes;
        bool video;
        const std::string* other;  // the intact other half of the recording, or none
    };
    std::int64_t RecoverCut(const Cut& c, std::size_t at) {
        WriteAll(cut, std::string_view(c.bytes).substr(0, at));
        Leftover leftover;
        (c.video ? leftover.videoFile : leftover.audioFile) = cut;
        leftover.note = RecordingNote{};
        leftover.note->mspf = camera->Record_MSPF();
        if (c.other) {
            WriteAll(partner, *c.other);
            (c.video ? leftover.audioFile : leftover.videoFile) = partner;
        }
        fs::remove(output);
        errors.clear();
        const bool saved = camera->RecoverLeftover(leftover, output);
        const bool cutKept = FileExists(cut);
        const bool partnerKept = c.other && FileExists(partner);
        if (!saved) {
            // Nothing saved: one message, nothing deleted, no output.
            EXPECT_EQ(errors.size(), 1u) << ::testing::PrintToString(errors);
            EXPECT_TRUE(cutKept);
            EXPECT_TRUE(!c.other || partnerKept);
            EXPECT_FALSE(FileExists(output));
            return -1;
        }
        const std::vector<std::vector<std::uint8_t>> frames = ReadFrames(output);
        const std::int64_t soundBytes = SoundBytes(output);
        const bool cutSaved = c.video ? !frames.empty() : soundBytes >= 0;
        const bool otherSaved = c.video ? soundBytes >= 0 : !frames.empty();
        // A file goes only when what it held is in the output; the one message says what was left out.
        EXPECT_EQ(cutKept, !cutSaved);
        EXPECT_EQ(partnerKept, c.other && !otherSaved);
        EXPECT_EQ(errors.size(), cutKept || partnerKept ? 1u : 0u) << ::testing::PrintToString(errors);
        EXPECT_TRUE(!c.other || otherSaved) << "the intact half was not saved";
        if (++saves % kProbeEvery == 0) ExpectPlayable(frames.empty() ? 0 : 1, soundBytes >= 0 ? 1 : 0);
        if (!cutSaved) return -1;
        // Sound beyond the last picture is cut off, as the save after a recording cuts it (16 bytes a millisecond).
        if (c.video && soundBytes >= 0) {
            EXPECT_LE(soundBytes, static_cast<std::int64_t>(frames.size()) * camera->Record_MSPF() * 16) << at;
        }
        if (!c.video) return soundBytes;
        std::int64_t shown = 0;
        for (std::size_t p = 0; p < frames.size(); ++p) {
            if (frames[p].empty()) continue;
            ++shown;
            // Each frame is the one recorded at its position, not some other bytes.
            EXPECT_EQ(frames[p], Pixels(p)) << "cut at " << at << ", position " << p;
        }
        return shown;
    }

    // The bytes of the frame recorded at position p: its grey, 32 bits per pixel with the unused byte 0.
    static std::vector<std::uint8_t> Pixels(std::size_t p) {
        const auto grey = static_cast<std::uint8_t>(3 * (p + 1));
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kArea.width * kArea.height) * 4, grey);
        for (std::size_t i = 3; i < bytes.size(); i += 4) bytes[i] = 0;
        return bytes;
    }

    // ffmpeg, an independent reader, decodes the whole output without a complaint.
    void ExpectPlayable(int videoStreams, int soundStreams) {
        EXPECT_EQ(testing::ProbeStreamCount(output), videoStreams + soundStreams);
        int status = 0;
        const std::string complaints =
            testing::RunCommand("ffmpeg -nostdin -v error -i " + testing::Quote(output) + " -f null - 2>&1", status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(complaints, "");
        if (soundStreams == 0) return;
        const std::string bytes = testing::RunCommand(
            "ffmpeg -nostdin -v error -i " + testing::Quote(output) + " -map 0:a -f u8 - | tr -d '\\300' | wc -c",
            status);
        EXPECT_EQ(std::stoul(bytes), 0u) << "sound other than what was recorded";
    }

    static constexpr int kProbeEvery = 97;

    std::string killed;
    std::string finished;
    std::string sound;
    std::size_t soundData = 0;
    std::string cut;
    std::string partner;
    std::string output;
    int saves = 0;
};

// Every byte up to `everyByte` with the cut file alone, then a stride through the whole file (and its very end)
// beside the intact other half.
template <typename F>
void CutEverywhere(std::size_t size, std::size_t everyByte, std::size_t stride, F&& each) {
    for (std::size_t at = 0; at < std::min(size, everyByte); ++at) each(at, false);
    for (std::size_t at = 0; at < size; at += stride) each(at, true);
    each(size - 1, true);
    each(size, true);
}

TEST_F(TruncatedLeftover, AKilledRecordersPictureKeepsEveryWholeFrameBeforeTheCut) {
    const std::vector<std::size_t> ends = FrameEnds(killed);
    ASSERT_GE(ends.size(), 10u) << "the recording left too few frames on disk to cut";
    CutEverywhere(killed.size(), 4096, 97, [&](std::size_t at, bool withSound) {
        const auto whole = static_cast<std::int64_t>(std::upper_bound(ends.begin(), ends.end(), at) - ends.begin());
        const std::int64_t shown = RecoverCut({killed, true, withSound ? &sound : nullptr}, at);
        // Before the first whole frame there is nothing to save; from there on every whole frame is saved.
        ASSERT_EQ(shown, whole == 0 ? -1 : whole) << "cut at " << at;
    });
}

TEST_F(TruncatedLeftover, APutAsidePictureCutAnywhereGivesAtMostItsFramesBeforeTheCut) {
    const std::vector<std::size_t> ends = FrameEnds(finished);
    ASSERT_EQ(ends.size(), static_cast<std::size_t>(kFrames));
    // Its headers are cut as those of the killed recorder's file are; here the index at its end matters too.
    CutEverywhere(finished.size(), 0, 97, [&](std::size_t at, bool withSound) {
        const auto whole = static_cast<std::int64_t>(std::upper_bound(ends.begin(), ends.end(), at) - ends.begin());
        const std::int64_t shown = RecoverCut({finished, true, withSound ? &sound : nullptr}, at);
        ASSERT_LE(shown, whole) << "cut at " << at;
    });
    for (std::size_t at = finished.size() - 64; at < finished.size(); ++at) {
        const std::int64_t shown = RecoverCut({finished, true, &sound}, at);
        ASSERT_GE(shown, 1) << "cut at " << at;
        ASSERT_LE(shown, kFrames) << "cut at " << at;
    }
    // Whole, it is saved whole.
    EXPECT_EQ(RecoverCut({finished, true, &sound}, finished.size()), kFrames);
}

TEST_F(TruncatedLeftover, SoundCutAnywhereKeepsItsWholeSamplesBeforeTheCut) {
    // Past its header the file is samples alike: every byte of the first kilobyte, then every seventh.
    const auto check = [&](std::size_t at, bool withPicture) {
        const std::int64_t bytes = RecoverCut({sound, false, withPicture ? &killed : nullptr}, at);
        const std::int64_t whole = at <= soundData ? 0 : static_cast<std::int64_t>((at - soundData) / 2 * 2);
        ASSERT_EQ(bytes, whole == 0 ? -1 : whole) << "cut at " << at;
    };
    CutEverywhere(sound.size(), 1024, 37, check);
    for (std::size_t at = 1024; at < 4096; at += 7) check(at, false);
}

}  // namespace
}  // namespace tolm
