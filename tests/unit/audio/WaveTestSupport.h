#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "audio/ByteStream.h"
#include "audio/LittleEndian.h"
#include "audio/WaveStreamAdapter.h"
#include "audio/scWaveIO.h"
#include "audio/scWaveUtils.h"
#include "platform/fake/FakeWaveIn.h"

namespace tolm::test {

inline WAVEFORMATEX Stock(TPCMFormat pcm) {
    WAVEFORMATEX format;
    FillStockPCMFormat(format, pcm);
    return format;
}

inline std::uint32_t U32At(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return GetLE32(bytes.data() + offset);
}

// A container written through the adapter, as the recorder writes one.
inline std::vector<std::uint8_t> WrittenWave(const WAVEFORMATEX& format, const std::vector<std::uint8_t>& audio) {
    MemoryStream stream;
    TWaveStreamAdapter adapter(stream);
    EXPECT_TRUE(adapter.StartWriting(WaveFormatBlock(format)));
    EXPECT_EQ(adapter.WriteData(audio.data(), audio.size()), static_cast<std::int64_t>(audio.size()));
    EXPECT_TRUE(adapter.FinishWriting()) << adapter.LastErrorText();
    return stream.Bytes();
}

// A hand-made RIFF file, for layouts our writer never produces.
struct Chunk {
    Chunk(std::string fourcc, std::vector<std::uint8_t> bytes, std::optional<std::uint32_t> sizeField = std::nullopt)
        : id(std::move(fourcc)), body(std::move(bytes)), size(sizeField) {}
    std::string id;
    std::vector<std::uint8_t> body;
    std::optional<std::uint32_t> size;  // the size field, when it should lie
};

// Byte by byte: GCC 12 at -O3 warns falsely about inserting ranges into a vector here.
inline void Append(std::vector<std::uint8_t>& out, const std::string& fourcc) {
    for (char c : fourcc) out.push_back(static_cast<std::uint8_t>(c));
}

inline void Append32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline std::vector<std::uint8_t> Riff(const std::string& form, const std::vector<Chunk>& chunks) {
    std::vector<std::uint8_t> body;
    Append(body, form);
    for (const Chunk& c : chunks) {
        Append(body, c.id);
        Append32(body, c.size.value_or(static_cast<std::uint32_t>(c.body.size())));
        body.insert(body.end(), c.body.begin(), c.body.end());
        if (c.body.size() % 2 == 1) body.push_back(0);
    }
    std::vector<std::uint8_t> out;
    Append(out, "RIFF");
    Append32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// The first `size` bytes of a stock format record.
inline std::vector<std::uint8_t> FormatBytes(const WAVEFORMATEX& format, std::size_t size) {
    std::vector<std::uint8_t> bytes = WaveFormatBlock(format).Bytes();
    bytes.resize(size, 0);
    return bytes;
}

// A file name in the temporary folder, removed afterwards.
class TempFile {
  public:
    explicit TempFile(const std::string& name)
        : path_(std::filesystem::temp_directory_path() /
                ("tolm-audio-" + std::to_string(std::random_device{}()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" + name)) {}
    ~TempFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    std::string Path() const { return path_.string(); }

  private:
    std::filesystem::path path_;
};

// A stream whose writes fail on request, as on a full disk.
class FailingStream : public MemoryStream {
  public:
    bool failWrites = false;
    void Write(const void* buffer, std::size_t count) override {
        if (failWrites) throw EStreamError("disk full");
        MemoryStream::Write(buffer, count);
    }
};

// A scripted input device; what the components would show the user is collected in `shown`.
class WaveDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = SetWaveExceptionDisplay([this](const std::string& text) { shown.push_back(text); });
    }
    void TearDown() override { SetWaveExceptionDisplay(previous_); }

    FakeWaveInService fake;
    std::vector<std::string> shown;

  private:
    TWaveExceptionDisplay previous_;
};

}  // namespace tolm::test
