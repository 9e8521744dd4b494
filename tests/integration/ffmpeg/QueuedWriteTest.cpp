#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "FfmpegTestSupport.h"

namespace tolm::testing {
namespace {

constexpr std::uint32_t kMJPG = MakeFourCC('M', 'J', 'P', 'G');
constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr std::uint32_t kRate = 25;

// An open file with one video stream and the stream the library makes for `handler`, format set.
struct Recording {
    std::unique_ptr<AviFile> file;
    std::shared_ptr<AviStream> stream;
    std::shared_ptr<AviStream> compressed;
};

AviResult Open(AviLibrary& library, const std::string& path, std::uint32_t handler, const PackedDib& first,
               Recording& out) {
    AviResult rc = library.OpenFile(path, AviOpenMode::create, out.file);
    if (rc != AVIERR_OK) return rc;
    AviStreamInfo info;
    info.fccType = streamtypeVIDEO;
    info.fccHandler = handler;
    info.dwScale = 1;
    info.dwRate = kRate;
    if ((rc = out.file->CreateStream(info, out.stream)) != AVIERR_OK) return rc;
    AviCompressOptions options;
    options.fccType = streamtypeVIDEO;
    options.fccHandler = handler;
    options.dwQuality = 10000;
    options.dwFlags = AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_VALID;
    if ((rc = library.MakeCompressedStream(out.stream, options, out.compressed)) != AVIERR_OK) return rc;
    return out.compressed->SetFormat(0, first.Data(), first.FormatSize());
}

// Positions with a gap after every fifth, as a loop that misses some would write them.
std::vector<int> Positions(int count) {
    std::vector<int> positions;
    for (int i = 0; i < count; ++i) positions.push_back(i + i / 5);
    return positions;
}

std::vector<PackedDib> Frames(const std::vector<int>& positions) {
    std::vector<PackedDib> frames;
    for (int p : positions) frames.push_back(MakeDib(Pattern(kWidth, kHeight, p), 32));
    return frames;
}

// Reads the file back with the library: each written position holds its frame (compared byte for byte
// when uncompressed), every other position up to the last is empty.
void ExpectFrames(AviLibrary& library, const std::string& path, const std::vector<int>& positions,
                  const std::vector<PackedDib>& frames, bool raw) {
    std::unique_ptr<AviFile> file;
    std::shared_ptr<AviStream> stream;
    ASSERT_EQ(library.OpenFile(path, AviOpenMode::read, file), AVIERR_OK);
    ASSERT_EQ(file->GetStream(streamtypeVIDEO, 0, stream), AVIERR_OK);
    EXPECT_EQ(stream->Info().dwLength, static_cast<std::uint32_t>(positions.back() + 1));
    std::size_t next = 0;
    for (int p = 0; p <= positions.back(); ++p) {
        std::vector<std::uint8_t> data;
        std::uint32_t flags = 0;
        ASSERT_EQ(stream->Read(p, data, flags), AVIERR_OK) << "position " << p;
        if (next < positions.size() && positions[next] == p) {
            ASSERT_FALSE(data.empty()) << "position " << p;
            EXPECT_TRUE(flags & AVIIF_KEYFRAME) << "position " << p;
            if (raw) {
                EXPECT_TRUE(data == std::vector<std::uint8_t>(frames[next].Bits(),
                                                              frames[next].Bits() + frames[next].BitsSize()))
                    << "position " << p;
            }
            ++next;
        } else {
            EXPECT_TRUE(data.empty()) << "position " << p;
        }
    }
    EXPECT_EQ(next, positions.size());
}

// Compressed frames: each decoded written position looks like its own picture, not its neighbour's.
void ExpectDecodedInOrder(const std::string& path, const std::vector<int>& positions) {
    const auto decoded = DecodeFrames(path, kWidth, kHeight, kRate);
    ASSERT_EQ(decoded.size(), static_cast<std::size_t>(positions.back() + 1));
    for (std::size_t i = 1; i < positions.size(); ++i) {
        const int p = positions[i];
        const double own = MeanDifference(decoded[p], Pattern(kWidth, kHeight, p));
        EXPECT_LE(own, 12.0) << "position " << p;
        EXPECT_LT(own, MeanDifference(decoded[p], Pattern(kWidth, kHeight, positions[i - 1]))) << "position " << p;
    }
}

class QueuedWrites : public ::testing::TestWithParam<std::uint32_t> {
  protected:
    void SetUp() override {
        const std::string missing = MissingTools();
        ASSERT_TRUE(missing.empty()) << missing;
        video_ = MakeVideo();
    }
    bool Raw() const { return GetParam() == 0; }

    Video video_;
    TempFolder folder_;
};

// Far more frames than the queue holds, written back to back: the caller outruns the encoder and waits
// for room, and every frame lands at its own position.
TEST_P(QueuedWrites, BurstArrivesInOrderAtItsPositions) {
    const std::string path = folder_.Path("burst.avi");
    const std::vector<int> positions = Positions(48);
    const std::vector<PackedDib> frames = Frames(positions);
    Recording rec;
    ASSERT_EQ(Open(*video_.library, path, GetParam(), frames.front(), rec), AVIERR_OK);
    for (std::size_t i = 0; i < positions.size(); ++i) {
        ASSERT_EQ(rec.compressed->Write(positions[i], 1, frames[i].Bits(), frames[i].BitsSize(), AVIIF_KEYFRAME),
                  AVIERR_OK);
    }
    // A position behind what is queued is refused at once, as the file would.
    EXPECT_EQ(rec.compressed->Write(positions.back(), 1, frames[0].Bits(), frames[0].BitsSize(), AVIIF_KEYFRAME),
              AVIERR_BADPARAM);
    EXPECT_EQ(rec.compressed->Info().dwLength, static_cast<std::uint32_t>(positions.back() + 1));
    rec.compressed.reset();
    rec.stream.reset();
    ASSERT_EQ(rec.file->Finish(), AVIERR_OK);
    ExpectFrames(*video_.library, path, positions, frames, Raw());
    if (!Raw()) ExpectDecodedInOrder(path, positions);
}

// Finish with the stream still alive writes what is queued first; the stream takes nothing after it.
TEST_P(QueuedWrites, FinishWritesTheQueueThenClosesTheStream) {
    const std::string path = folder_.Path("finish.avi");
    const std::vector<int> positions = Positions(24);
    const std::vector<PackedDib> frames = Frames(positions);
    Recording rec;
    ASSERT_EQ(Open(*video_.library, path, GetParam(), frames.front(), rec), AVIERR_OK);
    for (std::size_t i = 0; i < positions.size(); ++i) {
        ASSERT_EQ(rec.compressed->Write(positions[i], 1, frames[i].Bits(), frames[i].BitsSize(), AVIIF_KEYFRAME),
                  AVIERR_OK);
    }
    ASSERT_EQ(rec.file->Finish(), AVIERR_OK);
    EXPECT_EQ(rec.compressed->Write(positions.back() + 1, 1, frames[0].Bits(), frames[0].BitsSize(), AVIIF_KEYFRAME),
              AVIERR_BADHANDLE);
    ExpectFrames(*video_.library, path, positions, frames, Raw());
}

// Letting go of the stream and the file with frames still queued and no Finish: the frames are written
// and the file is completed as it would be without the queue.
TEST_P(QueuedWrites, ReleasingWithoutFinishKeepsTheQueuedFrames) {
    const std::string path = folder_.Path("released.avi");
    const std::vector<int> positions = Positions(24);
    const std::vector<PackedDib> frames = Frames(positions);
    {
        Recording rec;
        ASSERT_EQ(Open(*video_.library, path, GetParam(), frames.front(), rec), AVIERR_OK);
        for (std::size_t i = 0; i < positions.size(); ++i) {
            ASSERT_EQ(rec.compressed->Write(positions[i], 1, frames[i].Bits(), frames[i].BitsSize(), AVIIF_KEYFRAME),
                      AVIERR_OK);
        }
        rec.file.reset();  // the file object first: its streams stay usable
        rec.compressed.reset();
    }
    ExpectFrames(*video_.library, path, positions, frames, Raw());
}

// A full disk on the writer thread: a later Write returns the code a direct write gets, every write after
// it fails at once, and Finish does not call the file whole.
TEST_P(QueuedWrites, DiskFullReachesTheCallerWithTheDirectWritesCode) {
    const std::vector<PackedDib> frames = Frames({0});
    const PackedDib& frame = frames.front();

    // Without the queue: the file's own stream, written directly.
    std::unique_ptr<AviFile> file;
    std::shared_ptr<AviStream> direct;
    ASSERT_EQ(video_.library->OpenFile("/dev/full", AviOpenMode::create, file), AVIERR_OK);
    AviStreamInfo info;
    info.fccType = streamtypeVIDEO;
    info.dwScale = 1;
    info.dwRate = kRate;
    ASSERT_EQ(file->CreateStream(info, direct), AVIERR_OK);
    ASSERT_EQ(direct->SetFormat(0, frame.Data(), frame.FormatSize()), AVIERR_OK);
    AviResult expected = AVIERR_OK;
    for (int p = 0; p < 20 && expected == AVIERR_OK; ++p)
        expected = direct->Write(p, 1, frame.Bits(), frame.BitsSize(), AVIIF_KEYFRAME);
    ASSERT_NE(expected, AVIERR_OK);
    direct.reset();
    EXPECT_EQ(file->Finish(), expected);

    Recording rec;
    ASSERT_EQ(Open(*video_.library, "/dev/full", GetParam(), frame, rec), AVIERR_OK);
    AviResult rc = AVIERR_OK;
    int position = 0;
    for (; position < 200 && rc == AVIERR_OK; ++position)
        rc = rec.compressed->Write(position, 1, frame.Bits(), frame.BitsSize(), AVIIF_KEYFRAME);
    EXPECT_EQ(rc, expected) << "after " << position << " writes";
    EXPECT_EQ(rec.compressed->Write(position, 1, frame.Bits(), frame.BitsSize(), AVIIF_KEYFRAME), expected);
    EXPECT_EQ(rec.compressed->SetFormat(0, frame.Data(), frame.FormatSize()), expected);
    EXPECT_EQ(rec.file->Finish(), expected);
}

INSTANTIATE_TEST_SUITE_P(Handlers, QueuedWrites, ::testing::Values(0u, kMJPG),
                         [](const ::testing::TestParamInfo<std::uint32_t>& info) {
                             return info.param == 0 ? std::string("Uncompressed") : std::string("MJPG");
                         });

}  // namespace
}  // namespace tolm::testing
