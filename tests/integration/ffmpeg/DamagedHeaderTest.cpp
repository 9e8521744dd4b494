#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "FfmpegTestSupport.h"
#include "platform/ffmpeg/AviReadStream.h"

namespace tolm::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The length the damaged headers claim: about 2^31 positions, a few hundred bytes of file.
constexpr std::uint32_t kClaimed = 0x7FFFFFF0u;

void Put32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Put16(Bytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void PutTag(Bytes& out, const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(tag[i]));
}
void Append(Bytes& out, const Bytes& more) {
    for (const std::uint8_t b : more) out.push_back(b);
}

Bytes Words32(std::initializer_list<std::uint32_t> words) {
    Bytes out;
    for (const std::uint32_t w : words) Put32(out, w);
    return out;
}

Bytes Chunk(const char* tag, const Bytes& data) {
    Bytes out;
    PutTag(out, tag);
    Put32(out, static_cast<std::uint32_t>(data.size()));
    Append(out, data);
    if (data.size() % 2) out.push_back(0);
    return out;
}

Bytes List(const char* kind, const char* type, std::initializer_list<Bytes> children) {
    Bytes body;
    PutTag(body, type);
    for (const Bytes& c : children) Append(body, c);
    return Chunk(kind, body);
}

Bytes StreamHeader(const char* type, std::uint32_t scale, std::uint32_t rate, std::uint32_t sampleSize,
                   std::uint32_t start, std::uint32_t length) {
    Bytes h;
    PutTag(h, type);
    // Handler, flags, priority and language, initial frames; scale, rate, start, length, buffer size, quality,
    // sample size; the frame rectangle.
    for (const std::uint32_t w : {0u, 0u, 0u, 0u, scale, rate, start, length, 256u, 0xFFFFFFFFu, sampleSize})
        Put32(h, w);
    for (const std::uint16_t v : {0, 0, 4, 4}) Put16(h, v);
    return h;
}

// The inputs the temporary-AVI fuzz target found hanging the save, made small: a file whose writer never got
// to its index, holding one 4x4 frame and 200 blocks of 8-bit sound, with headers that claim `length`
// positions per stream, a video of `videoRate` frames per second and its start `videoStart` frames late.
Bytes DamagedAvi(std::uint32_t length, std::uint32_t videoRate, std::uint32_t videoStart) {
    const Bytes mainHeader = Words32({100000, 0, 0, 0, length, 0, 2, 256, 4, 4, 0, 0, 0, 0});
    const Bytes bitmap = Words32({40, 4, 4, 1 | (32u << 16), 0, 64, 0, 0, 0, 0});
    Bytes wave;
    for (const std::uint16_t v : {1, 1}) Put16(wave, v);  // PCM, mono
    for (const std::uint32_t v : {8000u, 8000u}) Put32(wave, v);
    for (const std::uint16_t v : {1, 8}) Put16(wave, v);  // block align, bits
    Bytes frame(64);
    Bytes sound(200);
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i * 3);
    for (std::size_t i = 0; i < sound.size(); ++i) sound[i] = static_cast<std::uint8_t>(128 + (i % 7));
    return List(
        "RIFF", "AVI ",
        {List(
             "LIST", "hdrl",
             {Chunk("avih", mainHeader),
              List("LIST", "strl",
                   {Chunk("strh", StreamHeader("vids", 1, videoRate, 0, videoStart, length)), Chunk("strf", bitmap)}),
              List("LIST", "strl", {Chunk("strh", StreamHeader("auds", 1, 8000, 1, 0, length)), Chunk("strf", wave)})}),
         List("LIST", "movi", {Chunk("00db", frame), Chunk("01wb", sound)})});
}

class DamagedHeaders : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string missing = MissingTools();
        ASSERT_TRUE(missing.empty()) << missing;
    }

    void Open(std::uint32_t length, std::uint32_t videoRate = 10, std::uint32_t videoStart = 0) {
        path_ = folder_.Path("tmpVideoStream.avi");
        const Bytes bytes = DamagedAvi(length, videoRate, videoStart);
        fileSize_ = bytes.size();
        std::ofstream(path_, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        ASSERT_EQ(video_.library->OpenFile(path_, AviOpenMode::read, file_), AVIERR_OK);
        ASSERT_EQ(file_->GetStream(0, 0, frames_), AVIERR_OK);
        ASSERT_EQ(file_->GetStream(0, 1, sound_), AVIERR_OK);
    }

    TempFolder folder_;
    Video video_ = MakeVideo();
    std::string path_;
    std::size_t fileSize_ = 0;
    std::unique_ptr<AviFile> file_;
    std::shared_ptr<AviStream> frames_;
    std::shared_ptr<AviStream> sound_;
};

// Lengths that the file cannot hold are taken from what it holds, so a recovery neither promises hours that
// are not there nor walks them.
TEST_F(DamagedHeaders, LengthsBeyondTheFileAreMeasured) {
    ASSERT_NO_FATAL_FAILURE(Open(kClaimed));
    EXPECT_EQ(frames_->Info().fccType, streamtypeVIDEO);
    EXPECT_EQ(frames_->Info().dwLength, 1u);
    EXPECT_EQ(sound_->Info().fccType, streamtypeAUDIO);
    EXPECT_EQ(sound_->Info().dwLength, 200u);

    // Read as the save reads: the sound in runs; it ends where its blocks end.
    auto* reader = dynamic_cast<ffmpeg::AviReadStream*>(sound_.get());
    ASSERT_NE(reader, nullptr);
    Bytes data;
    std::uint32_t flags = 0;
    std::int64_t samples = 0;
    ASSERT_EQ(reader->ReadChunk(0, 1 << 16, data, flags, samples), AVIERR_OK);
    EXPECT_EQ(samples, 200);
    EXPECT_EQ(data.size(), 200u);
    EXPECT_EQ(reader->ReadChunk(200, 1 << 16, data, flags, samples), AVIERR_NODATA);
}

// The save of such a file (what recovery does with it) ends, with the frame and the sound that are there.
TEST_F(DamagedHeaders, TheSaveKeepsWhatTheFileHolds) {
    ASSERT_NO_FATAL_FAILURE(Open(kClaimed));
    // With the claimed lengths the save would walk 2^31 positions: checked first, so a fault fails, not hangs.
    ASSERT_EQ(frames_->Info().dwLength, 1u);
    ASSERT_EQ(sound_->Info().dwLength, 200u);
    const std::string out = folder_.Path("recovered.avi");
    ASSERT_EQ(video_.library->Save(out, {frames_, sound_}, {nullptr, nullptr}, nullptr), AVIERR_OK);
    EXPECT_EQ(ProbeStream(out, 0)["nb_frames"], "1");
    EXPECT_EQ(ProbeStream(out, 1)["nb_frames"], "200");  // sound blocks
}

// A killed writer's file (lengths 0) whose video claims a rate of 1.7 GHz and a start 1.8 billion frames late
// (about a second: the demuxer takes it): the stream is no longer than the file can hold, however late its
// frames say they are, and its save ends.
TEST_F(DamagedHeaders, AStartFarBeyondTheFileIsNotWalked) {
    ASSERT_NO_FATAL_FAILURE(Open(0, 0x63616602u, 0x6D000074u));
    const std::uint32_t length = frames_->Info().dwLength;
    ASSERT_LE(length, fileSize_ / 8);
    EXPECT_EQ(sound_->Info().dwLength, 200u);
    const std::string out = folder_.Path("recovered.avi");
    ASSERT_EQ(video_.library->Save(out, {frames_, sound_}, {nullptr, nullptr}, nullptr), AVIERR_OK);
    EXPECT_EQ(ProbeStream(out, 0)["nb_frames"], std::to_string(length));
    EXPECT_EQ(ProbeStream(out, 1)["nb_frames"], "200");
}

// The temporary-AVI fuzz target's input: a 46-byte wave whose format record claims 65535 channels of 52224 bits
// and no block size, whose product overflowed an int. A block no wave format can describe is refused.
TEST(DamagedWave, AnImpossibleBlockSizeIsRefused) {
    const std::string missing = MissingTools();
    ASSERT_TRUE(missing.empty()) << missing;
    const Bytes bytes = {'R',  'I',  'F',  'F',  0xA6, 0x3E, 0x00, 0x00, 'W',  'A',  'V',  'E',  'f',  'm',  't',  ' ',
                         0x12, 0x00, 0x00, 0x00, 0x01, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                         0x00, 0x00, 0x00, 0xCC, 0x00, 0x00, 'd',  'a',  't',  'a',  0xFF, 0xFF, 0x7C, 0x78};
    TempFolder folder;
    const std::string path = folder.Path("tmpAudioStream.wav");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    Video video = MakeVideo();
    std::unique_ptr<AviFile> file;
    ASSERT_EQ(video.library->OpenFile(path, AviOpenMode::read, file), AVIERR_OK);
    std::shared_ptr<AviStream> stream;
    EXPECT_EQ(file->GetStream(0, 0, stream), AVIERR_BADFORMAT);
    EXPECT_EQ(stream, nullptr);
}

}  // namespace
}  // namespace tolm::testing
