// The engine's recording path over the real FFmpeg services: settle, create, write at chosen positions,
// release and save, then read the output back with ffprobe, ffmpeg and our own reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "integration/recording/FfmpegEngineFixture.h"
#include "support/EngineTestAccess.h"

namespace tolm {
namespace {

using testing::DecodeFrames;
using testing::ProbeStream;
using testing::ProbeStreamCount;

constexpr Rect kArea{16, 8, 64, 48};
const std::uint32_t kColours[] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFF00, 0x00FFFF, 0xFF00FF, 0x808080, 0xFFFFFF};

struct Case {
    const char* name;
    TTypeRecord type;
    const char* handler;  // nullptr: none selected
    const char* codec;    // what ffprobe reports
};

class EngineRecording : public FfmpegEngineTest, public ::testing::WithParamInterface<Case> {
  protected:
    void SetUp() override {
        FfmpegEngineTest::SetUp();
        if (HasFatalFailure()) return;
        // A fixed area: one that follows the pointer would move with the area timer's ticks, which come in real
        // time, while the recording runs on the manual clock.
        camera->ScreenArea().SetScreenRegion(TScreenRegion::FixedStable);
        camera->ScreenArea().SetBounds(kArea);
    }

    void Select(const char* handler) {
        const std::vector<std::string> list = camera->GetVideoCodecList();
        for (int i = 0; i < camera->CompressorCount(); ++i)
            if (camera->CompressorInfos(i).fccHandler == MakeFourCC(handler[0], handler[1], handler[2], handler[3]))
                camera->SetSelectedCompressor(i);
        ASSERT_NE(camera->SelectedCompressor(), -1) << handler << " is not offered";
    }

    // Frames at positions 0, 2, 4 and 7, each showing its own colour, then a stop for saving. With sound, the
    // input hands over `soundBytes` bytes of it first.
    RecordOutcome Record(const std::string& output, std::size_t soundBytes = 0) {
        return EngineTestAccess::RecordAVI(*camera, output, [this, soundBytes](RecordingSession& session) {
            if (soundBytes > 0) {
                ASSERT_TRUE(waveIn.WaitForRecording(2, 5000));
                ASSERT_EQ(waveIn.Feed(soundBytes, 0x40), soundBytes);
            }
            for (int p : {0, 2, 4, 7}) {
                screen.FillRect(kArea, kColours[p]);
                std::optional<PackedDib> dib = camera->CaptureFrame(TCaptureMode::cmDib, nullptr, kArea.left, kArea.top,
                                                                    kArea.width, kArea.height, false);
                ASSERT_TRUE(dib.has_value());
                ASSERT_TRUE(EngineTestAccess::WriteFrame(*camera, session, p, *dib));
            }
            Globals().StopReason = TStopReason::StopAndSave;
        });
    }

    // Ten positions through the engine's own loop, the screen changing before positions 3 and 6. With
    // `everyFrame` an overlay that draws nothing makes each position a grab of its own, as on a busy screen.
    // Returns how many grabs it took.
    int RecordTimeline(const std::string& output, bool everyFrame) {
        screen.FillRect(kArea, kColours[0]);
        camera->SetOvelayDrawing(everyFrame);
        camera->OnOverlay = [](TScreenCamera&, Bitmap&, int, int) {};
        const int before = screen.GrabCount();
        clock.Set(1000);
        clock.SetWaitHook([this](double now) {
            const int p = static_cast<int>((now - 1000) / 20);
            if (p == 3 || p == 6) screen.FillRect(Rect{kArea.left + 6 * p, kArea.top + 8, 12, 12}, kColours[p]);
            if (p == 10) camera->StopRecording();
        });
        EXPECT_TRUE(camera->StartRecording(output));
        EXPECT_TRUE(loop.RunUntil([this] { return !camera->WorkerRunning(); }, std::chrono::seconds(20)));
        clock.SetWaitHook({});
        return screen.GrabCount() - before;
    }

    static std::uint32_t CentreColour(const std::vector<std::uint8_t>& frame) {
        const std::size_t at = (static_cast<std::size_t>(kArea.height / 2) * kArea.width + kArea.width / 2) * 4;
        return static_cast<std::uint32_t>(frame[at + 2]) << 16 | static_cast<std::uint32_t>(frame[at + 1]) << 8 |
               frame[at];
    }
    static bool Near(std::uint32_t a, std::uint32_t b) {
        for (int shift : {0, 8, 16})
            if (std::abs(static_cast<int>(a >> shift & 0xFF) - static_cast<int>(b >> shift & 0xFF)) > 12) return false;
        return true;
    }
};

TEST_P(EngineRecording, OutputPlaysTheTimelineAtThePlaybackRate) {
    const Case c = GetParam();
    camera->SetRecordType(c.type);
    if (c.handler) Select(c.handler);
    const std::string output = folder.Path("recording.avi");

    ASSERT_EQ(Record(output), RecordOutcome::recorded) << ::testing::PrintToString(errors);
    EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
    ASSERT_TRUE(Globals().SaveSucceeded);

    const auto stream = ProbeStream(output, 0);
    EXPECT_EQ(stream.at("codec_name"), c.codec);
    EXPECT_EQ(stream.at("width"), "64");
    EXPECT_EQ(stream.at("height"), "48");
    EXPECT_EQ(stream.at("r_frame_rate"), "50/1");
    EXPECT_EQ(stream.at("nb_frames"), "8");

    const auto frames = DecodeFrames(output, kArea.width, kArea.height, 50);
    ASSERT_EQ(frames.size(), 8u);
    for (int p = 0; p < 8; ++p) {
        const int shown = p == 1 ? 0 : p == 3 ? 2 : (p == 5 || p == 6) ? 4 : p;  // skipped positions hold the last
        EXPECT_TRUE(Near(CentreColour(frames[static_cast<std::size_t>(p)]), kColours[shown]))
            << "position " << p << " shows " << std::hex << CentreColour(frames[static_cast<std::size_t>(p)]);
    }

    std::unique_ptr<AviFile> file;
    ASSERT_EQ(avi->OpenFile(output, AviOpenMode::read, file), AVIERR_OK);
    std::shared_ptr<AviStream> video;
    ASSERT_EQ(file->GetStream(streamtypeVIDEO, 0, video), AVIERR_OK);
    EXPECT_EQ(video->Info().dwLength, 8u);
    EXPECT_EQ(video->Info().dwRate, 50u);
    EXPECT_EQ(video->Info().dwScale, 1u);
}

TEST_P(EngineRecording, AStillScreenPlaysAsIfRecordedFrameByFrame) {
    const Case c = GetParam();
    camera->SetRecordType(c.type);
    if (c.handler) Select(c.handler);
    EXPECT_EQ(RecordTimeline(folder.Path("still.avi"), false), 1 + 3);  // the settling's, then positions 0, 3, 6
    EXPECT_EQ(RecordTimeline(folder.Path("busy.avi"), true), 1 + 10);
    EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);

    const auto still = DecodeFrames(folder.Path("still.avi"), kArea.width, kArea.height, 50);
    const auto busy = DecodeFrames(folder.Path("busy.avi"), kArea.width, kArea.height, 50);
    ASSERT_EQ(still.size(), 10u);
    ASSERT_EQ(busy.size(), 10u);
    // H.264 codes each picture against the ones before it, which differ between the two: there the pictures
    // agree as closely as the coding allows, elsewhere exactly.
    const int tolerance = c.handler && std::string(c.handler) == "H264" ? 8 : 0;
    for (std::size_t p = 0; p < still.size(); ++p) {
        int largest = 0;
        for (std::size_t i = 0; i < still[p].size(); ++i)
            largest = std::max(largest, std::abs(static_cast<int>(still[p][i]) - static_cast<int>(busy[p][i])));
        EXPECT_LE(largest, tolerance) << "position " << p;
    }
}

INSTANTIATE_TEST_SUITE_P(RecordTypes, EngineRecording,
                         ::testing::Values(Case{"NoCompress", TTypeRecord::NoCompress, nullptr, "rawvideo"},
                                           Case{"OnTheFlyMjpeg", TTypeRecord::CompressOnFly, "MJPG", "mjpeg"},
                                           Case{"OnTheFlyH264", TTypeRecord::CompressOnFly, "H264", "h264"},
                                           Case{"OnTheFlyDefault", TTypeRecord::CompressOnFly, "MSVC", "msvideo1"},
                                           Case{"AfterRecordMjpeg", TTypeRecord::CompressAfterRecord, "MJPG", "mjpeg"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A minimal PCM WAVE file: 16-bit mono 8 kHz, `samples` samples of a square wave.
void WriteWave(const std::string& path, int samples) {
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    const std::uint32_t data = static_cast<std::uint32_t>(samples) * 2;
    out.write("RIFF", 4), u32(36 + data), out.write("WAVEfmt ", 8), u32(16);
    u16(1), u16(1), u32(8000), u32(16000), u16(2), u16(16);
    out.write("data", 4), u32(data);
    for (int i = 0; i < samples; ++i) u16(static_cast<std::uint16_t>((i / 20) % 2 ? 8000 : -8000));
}

using EngineSave = EngineRecording;

TEST_F(EngineSave, SoundFromTheWaveFileIsTheSecondStream) {
    camera->SetRecordType(TTypeRecord::NoCompress);
    camera->SetUseAudioRecord(true);
    WriteWave(Globals().TempAudioFile(), 4000);  // an old recording's sound: replaced, never joined
    const std::string output = folder.Path("with-sound.avi");
    ASSERT_EQ(Record(output, 2560), RecordOutcome::recorded)
        << ::testing::PrintToString(errors);  // 0.16 s of 8 kHz 16-bit mono
    ASSERT_EQ(ProbeStreamCount(output), 2);
    EXPECT_EQ(ProbeStream(output, 0).at("codec_type"), "video");
    const auto sound = ProbeStream(output, 1);
    EXPECT_EQ(sound.at("codec_name"), "pcm_s16le");
    EXPECT_EQ(sound.at("sample_rate"), "8000");
    int status = 0;
    const std::string bytes =
        testing::RunCommand("ffmpeg -v error -i " + testing::Quote(output) + " -map 0:1 -f s16le - | wc -c", status);
    EXPECT_EQ(std::stoul(bytes), 2560u);
}

TEST_F(EngineSave, ExistingOutputIsReplacedAndTheOldOneIsGone) {
    camera->SetRecordType(TTypeRecord::NoCompress);
    const std::string output = folder.Path("again.avi");
    std::ofstream(output) << "not a video";
    ASSERT_EQ(Record(output), RecordOutcome::recorded) << ::testing::PrintToString(errors);
    EXPECT_EQ(ProbeStream(output, 0).at("nb_frames"), "8");
}

// Picked areas are rarely multiples of what an encoder needs: the area is fitted to the compressor that records,
// the default one included, and one chosen from a list built at the odd size.
TEST_F(EngineSave, OddAreasAreFittedToTheCompressorThatRecords) {
    camera->SetRecordType(TTypeRecord::CompressOnFly);
    const CaptureLoop oneFrame = [this](RecordingSession& session) {
        const Rect a = camera->ScreenArea().Bounds();
        std::optional<PackedDib> dib =
            camera->CaptureFrame(TCaptureMode::cmDib, nullptr, a.left, a.top, a.width, a.height, false);
        ASSERT_TRUE(dib && EngineTestAccess::WriteFrame(*camera, session, 0, *dib));
        Globals().StopReason = TStopReason::StopAndSave;
    };
    const auto recordAt = [&](const Rect& area, const char* handler) {
        camera->ScreenArea().SetBounds(area);
        handler ? Select(handler) : host.QueueAnswers({true});  // none chosen: the default is accepted
        const std::string output = folder.Path("odd.avi");
        EXPECT_EQ(EngineTestAccess::RecordAVI(*camera, output, oneFrame), RecordOutcome::recorded)
            << ::testing::PrintToString(errors);
        const auto stream = ProbeStream(output, 0);
        return stream.at("width") + "x" + stream.at("height");
    };
    EXPECT_EQ(recordAt(Rect{16, 8, 301, 202}, nullptr), "304x204");  // MS Video 1: multiples of 4
    EXPECT_EQ(recordAt(Rect{16, 8, 301, 201}, "H264"), "302x202");
}

TEST_F(EngineSave, UnwritableOutputGivesAMessage) {
    camera->SetRecordType(TTypeRecord::NoCompress);
    EXPECT_EQ(Record("/proc/tolm-cannot-write-here.avi"), RecordOutcome::recorded);
    EXPECT_FALSE(Globals().SaveSucceeded);
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.back(), "Error: opening files! /proc/tolm-cannot-write-here.avi: No such file or directory.");
}

}  // namespace
}  // namespace tolm
