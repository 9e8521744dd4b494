#include <numeric>

#include "WaveTestSupport.h"

namespace tolm::test {
namespace {

// 8 bytes per millisecond, blocks of one byte: byte positions are easy to read.
const WAVEFORMATEX kMono8 = Stock(TPCMFormat::Mono8Bit8000Hz);
const WAVEFORMATEX kMono16 = Stock(TPCMFormat::Mono16bit8000Hz);

std::vector<std::uint8_t> Counting(std::size_t size, std::uint8_t first = 0) {
    std::vector<std::uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& v, std::size_t from, std::size_t to) {
    return {v.begin() + static_cast<std::ptrdiff_t>(from), v.begin() + static_cast<std::ptrdiff_t>(to)};
}

std::vector<std::uint8_t> Join(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// A wave in memory with its adapter.
struct Wave {
    explicit Wave(const std::vector<std::uint8_t>& audio, const WAVEFORMATEX& format = kMono8)
        : stream(WrittenWave(format, audio)), adapter(stream) {}
    std::vector<std::uint8_t> Audio() {
        if (!adapter.Valid()) return {};
        const auto& bytes = stream.Bytes();
        return Slice(bytes, adapter.DataOffset(), adapter.DataOffset() + adapter.DataSize());
    }
    MemoryStream stream;
    TWaveStreamAdapter adapter;
};

const std::vector<std::uint8_t> kTenMs = Counting(80, 100);

TEST(WaveEditing, ReverseAndScaleWorkInPlaceOnMemoryAndFiles) {
    Wave wave(kTenMs);
    ASSERT_TRUE(wave.adapter.ReverseAudio());
    EXPECT_EQ(wave.Audio(), std::vector<std::uint8_t>(kTenMs.rbegin(), kTenMs.rend()));

    TempFile file("edit.wav");
    ASSERT_TRUE(wave.adapter.SaveToFile(file.Path()));
    TWaveStreamAdapter onFile(std::make_unique<FileStream>(file.Path(), TFileMode::fmOpenReadWrite));
    ASSERT_TRUE(onFile.ScaleVolume(-100));
    MemoryStream reread;
    TWaveStreamAdapter check(reread);
    ASSERT_TRUE(check.LoadFromFile(file.Path()));
    LockedWaveData data;
    ASSERT_TRUE(check.LockData(data, false));
    EXPECT_EQ(std::vector<std::uint8_t>(data.Data(), data.Data() + data.Size()), std::vector<std::uint8_t>(80, 128));

    Wave adpcm(kTenMs, WAVEFORMATEX{2, 1, 8000, 4096, 256, 4, 0});
    EXPECT_FALSE(adpcm.adapter.ReverseAudio());
    EXPECT_EQ(adpcm.Audio(), kTenMs);
}

TEST(WaveEditing, RangesKeepDeleteAndCopyWholeBlocks) {
    Wave keep(kTenMs);
    ASSERT_TRUE(keep.adapter.KeepRange(2, 3));
    EXPECT_EQ(keep.Audio(), Slice(kTenMs, 16, 40));

    Wave del(kTenMs);
    ASSERT_TRUE(del.adapter.DeleteRange(2, 3));
    EXPECT_EQ(del.Audio(), Join({Slice(kTenMs, 0, 16), Slice(kTenMs, 40, 80)}));

    Wave tail(kTenMs);  // the range end is clamped to the data
    ASSERT_TRUE(tail.adapter.KeepRange(8, 100));
    EXPECT_EQ(tail.Audio(), Slice(kTenMs, 64, 80));

    // 16-bit: positions are lowered to whole samples (1 ms = 16 bytes; rates give no odd offsets here).
    const auto samples = Counting(32);
    Wave source(samples, kMono16);
    Wave target(kTenMs);
    ASSERT_TRUE(target.adapter.CopyRange(source.adapter, 1, 5));
    EXPECT_EQ(*target.adapter.WaveFormat(), WaveFormatBlock(kMono16));
    EXPECT_EQ(target.Audio(), Slice(samples, 16, 32));
    ASSERT_TRUE(target.adapter.CopyRange(target.adapter, 0, 1));  // from itself
    EXPECT_EQ(target.Audio(), Slice(samples, 16, 32));
}

TEST(WaveEditing, RangeConditionsLeaveTheWaveUntouched) {
    Wave wave(kTenMs);
    const auto before = wave.stream.Bytes();
    EXPECT_FALSE(wave.adapter.KeepRange(2, 0));
    EXPECT_FALSE(wave.adapter.DeleteRange(10, 1));  // starts at the end
    EXPECT_FALSE(wave.adapter.DeleteRange(11, 1));
    MemoryStream empty;
    TWaveStreamAdapter invalid(empty);
    EXPECT_FALSE(wave.adapter.CopyRange(invalid, 0, 1));
    EXPECT_EQ(wave.stream.Bytes(), before);
}

TEST(WaveEditing, DeletingEverythingSucceedsWithAnEmptyWave) {
    Wave head(kTenMs);
    ASSERT_TRUE(head.adapter.DeleteHead(3));
    EXPECT_EQ(head.Audio(), Slice(kTenMs, 24, 80));
    ASSERT_TRUE(head.adapter.DeleteTail(5));
    EXPECT_EQ(head.Audio(), Slice(kTenMs, 24, 40));
    ASSERT_TRUE(head.adapter.DeleteTail(60));
    EXPECT_TRUE(head.adapter.Valid());
    EXPECT_EQ(head.adapter.DataSize(), 0u);
    EXPECT_FALSE(head.adapter.DeleteTail(1));  // nothing left to delete
}

TEST(WaveEditing, InsertAudioAndSilence) {
    Wave wave(Counting(16, 1));
    Wave other(Counting(8, 200));
    ASSERT_TRUE(wave.adapter.InsertAudio(1, other.adapter));
    EXPECT_EQ(wave.Audio(), Join({Counting(8, 1), Counting(8, 200), Counting(8, 9)}));
    ASSERT_TRUE(wave.adapter.InsertAudio(999, wave.adapter));  // itself, at the clamped end
    EXPECT_EQ(wave.Audio().size(), 48u);
    EXPECT_EQ(Slice(wave.Audio(), 24, 48), Slice(wave.Audio(), 0, 24));

    Wave silent(Counting(8, 1));
    ASSERT_TRUE(silent.adapter.InsertSilence(0, 1));
    EXPECT_EQ(silent.Audio(), Join({std::vector<std::uint8_t>(8, 127), Counting(8, 1)}));
    Wave silent16(Counting(4, 1), kMono16);
    ASSERT_TRUE(silent16.adapter.InsertSilence(1, 1));  // inserted at the clamped end
    EXPECT_EQ(silent16.Audio(), Join({Counting(4, 1), std::vector<std::uint8_t>(16, 0)}));

    Wave empty(std::vector<std::uint8_t>{});
    ASSERT_TRUE(empty.adapter.InsertSilence(0, 2));
    EXPECT_EQ(empty.Audio(), std::vector<std::uint8_t>(16, 127));

    Wave stereo(Counting(8), Stock(TPCMFormat::Stereo8bit8000Hz));
    const auto before = wave.stream.Bytes();
    EXPECT_FALSE(wave.adapter.InsertAudio(0, stereo.adapter));
    EXPECT_FALSE(wave.adapter.InsertSilence(0, 0));
    EXPECT_EQ(wave.stream.Bytes(), before);

    Wave adpcm(Counting(8), WAVEFORMATEX{2, 1, 8000, 4096, 256, 4, 0});
    const auto adpcmBefore = adpcm.stream.Bytes();
    EXPECT_FALSE(adpcm.adapter.InsertSilence(0, 500));  // whole blocks, but no silence value
    EXPECT_EQ(adpcm.stream.Bytes(), adpcmBefore);
}

TEST(WaveEditing, ConcatenateWithGapsInTheFirstFormat) {
    Wave a(Counting(4, 1));
    Wave b(Counting(3, 50), Stock(TPCMFormat::Stereo8bit8000Hz));  // formats are not compared
    Wave c(Counting(2, 90));
    MemoryStream stream;
    TWaveStreamAdapter joined(stream);
    TWaveStreamAdapter* members[] = {&a.adapter, &b.adapter, &c.adapter};
    ASSERT_TRUE(joined.ConcatenateFrom(members, 1)) << joined.LastErrorText();
    const std::vector<std::uint8_t> gap(8, 127);
    EXPECT_EQ(*joined.WaveFormat(), WaveFormatBlock(kMono8));
    LockedWaveData data;
    ASSERT_TRUE(joined.LockData(data, false));
    EXPECT_EQ(std::vector<std::uint8_t>(data.Data(), data.Data() + data.Size()),
              Join({Counting(4, 1), gap, Counting(3, 50), gap, Counting(2, 90)}));

    // This wave among the members contributes what it held before.
    TWaveStreamAdapter* withSelf[] = {&a.adapter, &a.adapter, &c.adapter};
    ASSERT_TRUE(a.adapter.ConcatenateFrom(withSelf, 0));
    EXPECT_EQ(a.Audio(), Join({Counting(4, 1), Counting(4, 1), Counting(2, 90)}));

    EXPECT_FALSE(joined.ConcatenateFrom({}, 0));
}

TEST(WaveEditing, ConcatenateStopsAtAnUnreadableMemberButCompletesTheContainer) {
    Wave a(Counting(4, 1));
    MemoryStream junk{std::vector<std::uint8_t>(20, 'x')};
    TWaveStreamAdapter invalid(junk);
    Wave c(Counting(2, 90));
    MemoryStream stream;
    TWaveStreamAdapter joined(stream);
    TWaveStreamAdapter* members[] = {&a.adapter, &invalid, &c.adapter};
    EXPECT_FALSE(joined.ConcatenateFrom(members, 0));
    EXPECT_NE(joined.LastErrorText().find("wave 1"), std::string::npos) << joined.LastErrorText();
    EXPECT_EQ(joined.State(), TWaveStreamState::wssIdle);
    EXPECT_TRUE(joined.Valid());
    EXPECT_EQ(joined.DataSize(), 4u);
}

TEST(WaveEditing, MixAveragesMembersOfOneFormat) {
    Wave a(std::vector<std::uint8_t>{200, 100, 255, 140});
    Wave b(std::vector<std::uint8_t>{100, 50});
    TWaveStreamAdapter* members[] = {&a.adapter, &b.adapter};
    ASSERT_TRUE(a.adapter.MixFrom(members));  // into one of its members
    EXPECT_EQ(a.Audio(), (std::vector<std::uint8_t>{150, 75, 191, 134}));

    Wave c(Counting(4), kMono16);
    const auto before = a.stream.Bytes();
    TWaveStreamAdapter* mixed[] = {&a.adapter, &c.adapter};
    EXPECT_FALSE(a.adapter.MixFrom(mixed));
    EXPECT_EQ(a.stream.Bytes(), before);
    EXPECT_FALSE(a.adapter.MixFrom({}));
}

}  // namespace
}  // namespace tolm::test
