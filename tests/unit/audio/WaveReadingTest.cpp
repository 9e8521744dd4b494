#include "WaveTestSupport.h"

namespace tolm::test {
namespace {

const WAVEFORMATEX kMono16 = Stock(TPCMFormat::Mono16bit8000Hz);
const std::vector<std::uint8_t> kAudio{1, 2, 3, 4, 5, 6, 7, 8};

std::vector<std::uint8_t> WaveWithFormatChunk(std::size_t formatSize) {
    return Riff("WAVE", {{"fmt ", FormatBytes(kMono16, formatSize)}, {"data", kAudio}});
}

TEST(WaveReading, EmptyAndForeignStreamsAreInvalidAndReadAsNothing) {
    for (const auto& bytes : {std::vector<std::uint8_t>{}, std::vector<std::uint8_t>(100, 'x'),
                              Riff("AVI ", {{"fmt ", FormatBytes(kMono16, 18)}, {"data", kAudio}})}) {
        MemoryStream stream{std::vector<std::uint8_t>(bytes)};
        TWaveStreamAdapter adapter(stream);
        EXPECT_FALSE(adapter.Valid());
        EXPECT_EQ(adapter.WaveFormat(), nullptr);
        EXPECT_EQ(adapter.DataSize(), 0u);
        EXPECT_EQ(adapter.DataOffset(), 0u);
        EXPECT_EQ(adapter.Length(), 0u);
        EXPECT_EQ(adapter.MillisecondsToBytes(1000), 0u);
        EXPECT_FALSE(adapter.StartReading());
        EXPECT_FALSE(adapter.LastErrorText().empty());
    }
}

TEST(WaveReading, ShortFormatChunksReadAsEighteenBytesWithZeros) {
    MemoryStream tooShort{WaveWithFormatChunk(13)};
    EXPECT_FALSE(TWaveStreamAdapter(tooShort).Valid());

    for (std::size_t size : {14u, 16u}) {
        MemoryStream stream{WaveWithFormatChunk(size)};
        TWaveStreamAdapter adapter(stream);
        ASSERT_TRUE(adapter.Valid()) << size << ": " << adapter.LastErrorText();
        const WAVEFORMATEX& f = adapter.WaveFormat()->Record();
        EXPECT_EQ(f.nAvgBytesPerSec, 16000u);
        EXPECT_EQ(f.nBlockAlign, 2);
        EXPECT_EQ(f.wBitsPerSample, size == 16 ? 16 : 0);
        EXPECT_EQ(f.cbSize, 0);
        EXPECT_EQ(adapter.DataOffset(), 20u + size + 8u);
        EXPECT_EQ(adapter.DataSize(), kAudio.size());
    }
}

TEST(WaveReading, FormatExtrasMustFitTheChunkAndTheStream) {
    auto overstated = FormatBytes(kMono16, 18);
    overstated[16] = 4;  // cbSize 4 in an 18-byte chunk
    MemoryStream extras{Riff("WAVE", {{"fmt ", overstated}, {"data", kAudio}})};
    TWaveStreamAdapter adapter(extras);
    EXPECT_FALSE(adapter.Valid());
    EXPECT_NE(adapter.LastErrorText().find("extra bytes"), std::string::npos) << adapter.LastErrorText();

    // A format chunk claiming nearly 4 GB is refused before anything is allocated for it.
    MemoryStream huge{Riff("WAVE", {{"fmt ", FormatBytes(kMono16, 18), 0xFFFFFFF0u}})};
    EXPECT_FALSE(TWaveStreamAdapter(huge).Valid());
}

TEST(WaveReading, OtherChunksAreSkippedWithTheirPadBytes) {
    const std::vector<std::uint8_t> odd{'x', 'y', 'z'};
    MemoryStream stream{Riff(
        "WAVE", {{"JUNK", odd}, {"fmt ", FormatBytes(kMono16, 16)}, {"LIST", odd}, {"data", kAudio}, {"LIST", odd}})};
    TWaveStreamAdapter adapter(stream);
    ASSERT_TRUE(adapter.Valid()) << adapter.LastErrorText();
    EXPECT_EQ(adapter.DataOffset(), 12u + 12u + 24u + 12u + 8u);
    // Reading stops at the end of the data chunk, not at the end of the stream.
    ASSERT_TRUE(adapter.StartReading());
    std::uint8_t got[64];
    ASSERT_EQ(adapter.ReadData(got, sizeof got), static_cast<std::int64_t>(kAudio.size()));
    EXPECT_EQ(std::vector<std::uint8_t>(got, got + kAudio.size()), kAudio);
}

TEST(WaveReading, DataMustFollowTheFormat) {
    MemoryStream stream{Riff("WAVE", {{"data", kAudio}, {"fmt ", FormatBytes(kMono16, 16)}})};
    EXPECT_FALSE(TWaveStreamAdapter(stream).Valid());
}

TEST(WaveReading, ReadingKeepsTheStreamPositionAndFiresOnChangeAlways) {
    MemoryStream stream{WrittenWave(kMono16, kAudio)};
    stream.Seek(17, TSeekOrigin::soBeginning);
    TWaveStreamAdapter adapter(stream);
    int changed = 0;
    adapter.OnChange = [&](TWaveStreamAdapter&) { ++changed; };
    ASSERT_TRUE(adapter.Valid());
    EXPECT_EQ(stream.Position(), 17u);
    EXPECT_EQ(changed, 1);
    EXPECT_TRUE(adapter.Valid());
    EXPECT_EQ(changed, 1);  // cached

    // Changed behind the adapter's back: seen only after MarkStale.
    stream.SetSize(10);
    EXPECT_TRUE(adapter.Valid());
    adapter.MarkStale();
    EXPECT_FALSE(adapter.Valid());
    EXPECT_EQ(changed, 2);
}

TEST(WaveReading, LockDataGivesAViewIntoMemoryOrACopy) {
    MemoryStream stream{WrittenWave(kMono16, kAudio)};
    TWaveStreamAdapter adapter(stream);
    LockedWaveData view;
    ASSERT_TRUE(adapter.LockData(view, false));
    EXPECT_TRUE(view.Direct());
    EXPECT_EQ(view.Data(), stream.Memory() + 46);
    EXPECT_EQ(view.Size(), kAudio.size());
    EXPECT_TRUE(adapter.UnlockData(view, true));

    LockedWaveData copy;
    ASSERT_TRUE(adapter.LockData(copy, true));
    EXPECT_FALSE(copy.Direct());
    copy.Data()[0] = 99;
    EXPECT_TRUE(adapter.UnlockData(copy, false));
    EXPECT_EQ(stream.Bytes()[46], 1);
    ASSERT_TRUE(adapter.LockData(copy, true));
    copy.Data()[0] = 99;
    EXPECT_TRUE(adapter.UnlockData(copy, true));
    EXPECT_EQ(stream.Bytes()[46], 99);
    EXPECT_FALSE(adapter.UnlockData(copy, true));  // nothing locked any more

    // Another adapter's data is not ours to release.
    MemoryStream otherStream{WrittenWave(kMono16, kAudio)};
    TWaveStreamAdapter other(otherStream);
    LockedWaveData theirs;
    ASSERT_TRUE(other.LockData(theirs, false));
    EXPECT_FALSE(adapter.UnlockData(theirs, true));
    EXPECT_TRUE(theirs.Locked());
}

TEST(WaveReading, LockDataRefusesEmptyAndTruncatedAudio) {
    MemoryStream empty{WrittenWave(kMono16, {})};
    TWaveStreamAdapter emptyWave(empty);
    LockedWaveData data;
    EXPECT_TRUE(emptyWave.Valid());
    EXPECT_FALSE(emptyWave.LockData(data, false));
    EXPECT_FALSE(data.Locked());

    // The data chunk announces more than the stream holds: neither a view past the end nor a huge copy.
    MemoryStream truncated{Riff("WAVE", {{"fmt ", FormatBytes(kMono16, 16)}, {"data", kAudio, 0x7FFFFFF0u}})};
    TWaveStreamAdapter wave(truncated);
    ASSERT_TRUE(wave.Valid());
    EXPECT_EQ(wave.DataSize(), 0x7FFFFFF0u);
    EXPECT_FALSE(wave.LockData(data, false));
    EXPECT_FALSE(wave.LockData(data, true));
    EXPECT_NE(wave.LastErrorText().find("fewer audio bytes"), std::string::npos);
}

}  // namespace
}  // namespace tolm::test
