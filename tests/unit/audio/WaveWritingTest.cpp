#include <cstring>
#include <memory>

#include "WaveTestSupport.h"

namespace tolm::test {
namespace {

const WAVEFORMATEX kMono16 = Stock(TPCMFormat::Mono16bit8000Hz);
const WAVEFORMATEX kMono8At11k = Stock(TPCMFormat::Mono8bit11025Hz);

std::vector<std::uint8_t> Ramp(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

TEST(WaveWriting, StockPcmGivesTheExactFortySixByteHeader) {
    const auto audio = Ramp(16000);
    const auto file = WrittenWave(kMono16, audio);
    ASSERT_EQ(file.size(), 16046u);
    const std::uint8_t header[46] = {'R',  'I',  'F', 'F', 0xA6, 0x3E, 0,    0,    'W', 'A', 'V', 'E',  // 16038
                                     'f',  'm',  't', ' ', 18,   0,    0,    0,    1,   0,   1,   0,    // PCM, mono
                                     0x40, 0x1F, 0,   0,   0x80, 0x3E, 0,    0,    2,   0,   16,  0,    // 8000, 16000
                                     0,    0,    'd', 'a', 't',  'a',  0x80, 0x3E, 0,   0};             // data 16000
    EXPECT_EQ(std::vector<std::uint8_t>(file.begin(), file.begin() + 46),
              std::vector<std::uint8_t>(header, header + 46));
    EXPECT_EQ(std::vector<std::uint8_t>(file.begin() + 46, file.end()), audio);
}

TEST(WaveWriting, OddDataKeepsItsPadByteAndTheRiffSizeMatchesTheFile) {
    const auto file = WrittenWave(kMono8At11k, Ramp(11025));
    ASSERT_EQ(file.size(), 46u + 11025u + 1u);
    EXPECT_EQ(U32At(file, 42), 11025u);
    EXPECT_EQ(U32At(file, 4), file.size() - 8);
    EXPECT_EQ(file.back(), 0);

    MemoryStream stream{std::vector<std::uint8_t>(file)};
    TWaveStreamAdapter adapter(stream);
    EXPECT_EQ(adapter.DataSize(), 11025u);
    EXPECT_EQ(adapter.Length(), 1000u);
}

TEST(WaveWriting, ExtraFormatBytesAreWrittenAndMoveTheAudio) {
    const WAVEFORMATEX adpcm{2, 1, 8000, 4096, 256, 4, 4};
    const WaveFormatBlock format(adpcm, {0xF4, 0x01, 0x07, 0x00});
    MemoryStream stream;
    TWaveStreamAdapter adapter(stream);
    ASSERT_TRUE(adapter.StartWriting(format));
    const std::uint8_t audio[4] = {9, 8, 7, 6};
    ASSERT_EQ(adapter.WriteData(audio, 4), 4);
    ASSERT_TRUE(adapter.FinishWriting());
    EXPECT_EQ(U32At(stream.Bytes(), 16), 22u);
    EXPECT_EQ(adapter.DataOffset(), 50u);
    ASSERT_NE(adapter.WaveFormat(), nullptr);
    EXPECT_EQ(*adapter.WaveFormat(), format);
    EXPECT_TRUE(adapter.HasFormat(format));
    EXPECT_FALSE(adapter.HasFormat(WaveFormatBlock(adpcm, {0xF4, 0x01, 0x07, 0x01})));
}

TEST(WaveWriting, InformationIsInvalidWhileWritingAndEventsMarkTheChange) {
    MemoryStream stream{WrittenWave(kMono16, Ramp(100))};
    TWaveStreamAdapter adapter(stream);
    ASSERT_TRUE(adapter.Valid());
    int changing = 0;
    int changed = 0;
    adapter.OnChanging = [&](TWaveStreamAdapter& sender) {
        EXPECT_EQ(&sender, &adapter);
        ++changing;
    };
    adapter.OnChange = [&](TWaveStreamAdapter&) { ++changed; };

    ASSERT_TRUE(adapter.StartWriting(WaveFormatBlock(kMono16)));
    EXPECT_EQ(changing, 1);
    EXPECT_FALSE(adapter.Valid());
    EXPECT_EQ(adapter.WaveFormat(), nullptr);
    EXPECT_EQ(adapter.DataSize(), 0u);
    EXPECT_EQ(adapter.Length(), 0u);
    EXPECT_EQ(changed, 0);  // not re-read while writing
    adapter.WriteData(Ramp(10).data(), 10);
    ASSERT_TRUE(adapter.FinishWriting());
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(adapter.DataSize(), 10u);
    EXPECT_EQ(adapter.State(), TWaveStreamState::wssIdle);
}

TEST(WaveWriting, WrongStateCallsFailWithAReason) {
    MemoryStream stream;
    TWaveStreamAdapter adapter(stream);
    const std::uint8_t byte = 0;
    EXPECT_EQ(adapter.WriteData(&byte, 1), -1);
    EXPECT_FALSE(adapter.FinishWriting());
    EXPECT_NE(adapter.LastErrorText().find("no write is in progress"), std::string::npos);
    ASSERT_TRUE(adapter.StartWriting(WaveFormatBlock(kMono16)));
    EXPECT_FALSE(adapter.StartWriting(WaveFormatBlock(kMono16)));
    EXPECT_FALSE(adapter.StartReading());
    EXPECT_NE(adapter.LastErrorText().find("write is in progress"), std::string::npos);
    EXPECT_TRUE(adapter.FinishWriting());
    EXPECT_EQ(stream.Size(), 46u);
}

TEST(WaveWriting, StartWritingDuringAReadFailsAndTheReadGoesOn) {
    const auto audio = Ramp(64);
    MemoryStream stream{WrittenWave(kMono16, audio)};
    const auto before = stream.Bytes();
    TWaveStreamAdapter adapter(stream);
    ASSERT_TRUE(adapter.StartReading());
    std::uint8_t got[64] = {};
    ASSERT_EQ(adapter.ReadData(got, 10), 10);
    EXPECT_FALSE(adapter.StartWriting(WaveFormatBlock(kMono16)));
    EXPECT_NE(adapter.LastErrorText().find("read is in progress"), std::string::npos);
    EXPECT_EQ(stream.Bytes(), before);
    EXPECT_EQ(adapter.State(), TWaveStreamState::wssReading);
    // Someone else moving the stream does not disturb the read.
    stream.Seek(3, TSeekOrigin::soBeginning);
    ASSERT_EQ(adapter.ReadData(got + 10, 100), 54);
    EXPECT_EQ(adapter.ReadData(got, 1), 0);
    EXPECT_EQ(std::vector<std::uint8_t>(got, got + 64), audio);
    EXPECT_TRUE(adapter.FinishReading());
    EXPECT_EQ(adapter.ReadData(got, 1), -1);
}

TEST(WaveWriting, AnAdapterDestroyedMidWriteLeavesCorrectSizes) {
    MemoryStream stream;
    {
        TWaveStreamAdapter adapter(stream);
        ASSERT_TRUE(adapter.StartWriting(WaveFormatBlock(kMono8At11k)));
        adapter.WriteData(Ramp(301).data(), 301);
    }
    ASSERT_EQ(stream.Size(), 46u + 302u);
    EXPECT_EQ(U32At(stream.Bytes(), 4), 46u + 302u - 8u);
    EXPECT_EQ(U32At(stream.Bytes(), 42), 301u);

    TempFile file("interrupted.wav");
    {
        TWaveStreamAdapter owner(std::make_unique<FileStream>(file.Path(), TFileMode::fmCreate));
        ASSERT_TRUE(owner.StartWriting(WaveFormatBlock(kMono16)));
        owner.WriteData(Ramp(500).data(), 500);
    }
    TWaveStreamAdapter reader(std::make_unique<FileStream>(file.Path(), TFileMode::fmOpenRead));
    EXPECT_TRUE(reader.Valid());
    EXPECT_EQ(reader.DataSize(), 500u);
    EXPECT_EQ(std::filesystem::file_size(file.Path()), 546u);
}

// Holds the first bytes and the size of a stream of any length, so the 4 GB limit of RIFF sizes can be
// reached without 4 GB of memory.
class SparseStream : public ByteStream {
  public:
    std::size_t Read(void* buffer, std::size_t count) override {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ > pos_ ? size_ - pos_ : 0));
        auto* out = static_cast<std::uint8_t*>(buffer);
        for (std::size_t i = 0; i < n; ++i) out[i] = pos_ + i < head_.size() ? head_[pos_ + i] : 0;
        pos_ += n;
        return n;
    }
    void Write(const void* buffer, std::size_t count) override {
        const auto* in = static_cast<const std::uint8_t*>(buffer);
        for (std::size_t i = 0; i < count && pos_ + i < head_.size(); ++i) head_[pos_ + i] = in[i];
        pos_ += count;
        size_ = std::max(size_, pos_);
    }
    std::uint64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
        const std::int64_t base = origin == TSeekOrigin::soBeginning ? 0
                                  : origin == TSeekOrigin::soCurrent ? static_cast<std::int64_t>(pos_)
                                                                     : static_cast<std::int64_t>(size_);
        if (base + offset < 0) throw EStreamError("before the start");
        pos_ = static_cast<std::uint64_t>(base + offset);
        return pos_;
    }
    std::uint64_t Size() override { return size_; }
    void SetSize(std::uint64_t size) override {
        size_ = size;
        for (std::uint64_t i = size; i < head_.size(); ++i) head_[i] = 0;
    }

  private:
    std::vector<std::uint8_t> head_ = std::vector<std::uint8_t>(64, 0);
    std::uint64_t size_ = 0;
    std::uint64_t pos_ = 0;
};

TEST(WaveWriting, AudioBeyondWhatRiffSizesCanCountIsRefusedNotWrapped) {
    SparseStream stream;
    TWaveStreamAdapter adapter(stream);
    ASSERT_TRUE(adapter.StartWriting(WaveFormatBlock(kMono8At11k)));
    const std::vector<std::uint8_t> chunk(1u << 24, 0x80);
    const std::uint64_t limit = 4294967256u;  // 2^32 - 1 + 8 - 46, even
    std::uint64_t total = 0;
    std::int64_t last = 0;
    while (total < limit) {
        last = adapter.WriteData(chunk.data(), chunk.size());
        ASSERT_GT(last, 0);
        total += static_cast<std::uint64_t>(last);
    }
    EXPECT_LT(last, static_cast<std::int64_t>(chunk.size()));
    EXPECT_NE(adapter.LastErrorText().find("full"), std::string::npos) << adapter.LastErrorText();
    EXPECT_EQ(adapter.WriteData(chunk.data(), 1), 0);
    ASSERT_TRUE(adapter.FinishWriting()) << adapter.LastErrorText();
    EXPECT_EQ(adapter.DataSize(), limit);
    EXPECT_EQ(stream.Size(), 46 + limit);
    std::uint8_t riffSize[4];
    stream.Seek(4, TSeekOrigin::soBeginning);
    stream.ReadBuffer(riffSize, 4);
    EXPECT_EQ(GetLE32(riffSize), 46 + limit - 8);
}

}  // namespace
}  // namespace tolm::test
