#include <cstdint>
#include <string>
#include <vector>

#include "WaveTestSupport.h"
#include "audio/MessageQueue.h"
#include "audio/scWaveRecorders.h"

namespace tolm::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Pattern(std::size_t count, std::uint8_t seed) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 13);
    return bytes;
}

TEST(WaveSizeUpdateTest, UpdatedHeaderCoversTheAudioSoFarAndFinishingIsUnchanged) {
    const WAVEFORMATEX format = Stock(TPCMFormat::Mono8Bit8000Hz);
    // Odd, so the pad byte that only finishing writes would show up as a difference.
    const Bytes first = Pattern(301, 1);
    const Bytes second = Pattern(250, 2);
    MemoryStream stream;
    TWaveStreamAdapter writer(stream);
    ASSERT_TRUE(writer.StartWriting(WaveFormatBlock(format)));
    ASSERT_EQ(writer.WriteData(first.data(), first.size()), static_cast<std::int64_t>(first.size()));
    ASSERT_TRUE(writer.UpdateSizes()) << writer.LastErrorText();
    EXPECT_EQ(stream.Size(), 46u + first.size()) << "no pad byte while writing";
    EXPECT_EQ(U32At(stream.Bytes(), 4), 38u + first.size()) << "RIFF size";
    EXPECT_EQ(U32At(stream.Bytes(), 42), first.size()) << "data size";

    MemoryStream snapshot(stream.Bytes());
    TWaveStreamAdapter reader(snapshot);
    EXPECT_TRUE(reader.Valid()) << reader.LastErrorText();
    EXPECT_EQ(reader.DataSize(), first.size());

    ASSERT_EQ(writer.WriteData(second.data(), second.size()), static_cast<std::int64_t>(second.size()));
    ASSERT_TRUE(writer.UpdateSizes());
    ASSERT_TRUE(writer.FinishWriting()) << writer.LastErrorText();
    Bytes all = first;
    all.insert(all.end(), second.begin(), second.end());
    EXPECT_EQ(stream.Bytes(), WrittenWave(format, all));
}

TEST(WaveSizeUpdateTest, RefusedOutsideAWriteAndReportsAStreamFailure) {
    FailingStream stream;
    TWaveStreamAdapter adapter(stream);
    EXPECT_FALSE(adapter.UpdateSizes());
    ASSERT_TRUE(adapter.StartWriting(WaveFormatBlock(Stock(TPCMFormat::Mono16bit8000Hz))));
    const Bytes audio = Pattern(64, 3);
    ASSERT_EQ(adapter.WriteData(audio.data(), audio.size()), 64);
    stream.failWrites = true;
    EXPECT_FALSE(adapter.UpdateSizes());
    EXPECT_NE(adapter.LastErrorText().find("disk full"), std::string::npos) << adapter.LastErrorText();
    stream.failWrites = false;
}

class RecorderSizeUpdateTest : public WaveDeviceTest {};

TEST_F(RecorderSizeUpdateTest, FileReadsAsValidWhileTheRecordingRuns) {
    TempFile file("running.wav");
    TStockAudioRecorder recorder(&fake);
    recorder.SetPCMFormat(TPCMFormat::Mono16bit8000Hz);  // 16000 bytes a second
    recorder.SetBufferLength(100);
    ASSERT_TRUE(recorder.RecordToFile(file.Path()));
    const Bytes audio = Pattern(40000, 5);  // 2.5 s
    constexpr std::size_t kBuffer = 1600;
    for (std::size_t at = 0; at < audio.size(); at += kBuffer) {
        for (int pass = 0; pass < 8; ++pass) MessageQueue::OfCurrentThread()->DispatchPending();
        ASSERT_EQ(fake.Feed(std::span(audio).subspan(at, kBuffer)), kBuffer);
    }
    for (int pass = 0; pass < 8; ++pass) MessageQueue::OfCurrentThread()->DispatchPending();
    ASSERT_TRUE(recorder.Active());

    TWaveStreamAdapter reader(std::make_unique<FileStream>(file.Path(), TFileMode::fmOpenRead));
    ASSERT_TRUE(reader.Valid()) << reader.LastErrorText();
    EXPECT_GE(reader.DataSize(), 32000u);
    EXPECT_LE(reader.DataSize(), audio.size());
    LockedWaveData data;
    ASSERT_TRUE(reader.LockData(data, false)) << reader.LastErrorText();
    EXPECT_EQ(Bytes(data.Data(), data.Data() + data.Size()), Bytes(audio.begin(), audio.begin() + data.Size()));
    reader.UnlockData(data, false);

    EXPECT_TRUE(recorder.Stop());
    for (int pass = 0; pass < 8; ++pass) MessageQueue::OfCurrentThread()->DispatchPending();
    TWaveStreamAdapter finished(std::make_unique<FileStream>(file.Path(), TFileMode::fmOpenRead));
    EXPECT_EQ(finished.DataSize(), audio.size());
}

}  // namespace
}  // namespace tolm::test
