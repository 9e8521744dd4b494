#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>

#include "FfmpegTestSupport.h"

namespace tolm::testing {
namespace {

constexpr std::uint32_t kMJPG = MakeFourCC('M', 'J', 'P', 'G');

// Runs `body` in a child process without root's right to write anywhere, and returns its result.
AviResult Unprivileged(const std::function<AviResult()>& body) {
    int fds[2];
    if (::pipe(fds) != 0) return AVIERR_INTERNAL;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        const AviResult result = body();
        const bool sent = ::write(fds[1], &result, sizeof result) == static_cast<ssize_t>(sizeof result);
        ::_exit(sent ? 0 : 3);
    }
    ::close(fds[1]);
    AviResult result = AVIERR_INTERNAL;
    if (::read(fds[0], &result, sizeof result) != static_cast<ssize_t>(sizeof result)) result = AVIERR_INTERNAL;
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return result;
}

AviStreamInfo VideoInfo(std::uint32_t rate = 10) {
    AviStreamInfo info;
    info.fccType = streamtypeVIDEO;
    info.dwScale = 1;
    info.dwRate = rate;
    return info;
}

class AviFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string missing = MissingTools();
        ASSERT_TRUE(missing.empty()) << missing;
        video_ = MakeVideo();
        ::chmod(folder_.Dir().c_str(), 0755);  // so an unprivileged child can reach into it
    }

    AviResult OpenForReading(const std::string& path) {
        std::unique_ptr<AviFile> file;
        return video_.library->OpenFile(path, AviOpenMode::read, file);
    }
    AviResult Create(const std::string& path) {
        std::unique_ptr<AviFile> file;
        return video_.library->OpenFile(path, AviOpenMode::create, file);
    }

    TempFolder folder_;
    Video video_;
    const PackedDib dib_ = MakeDib(Pattern(96, 64, 1), 24);
};

TEST_F(AviFiles, TheServicesAreRecentEnough) {
    EXPECT_GE(video_.library->Version() >> 16, 0x010Au);
}

TEST_F(AviFiles, ReadingFailsWithTheCodesOfTheOpenTable) {
    EXPECT_EQ(OpenForReading(folder_.Path("missing.avi")), AVIERR_FILEOPEN);
    EXPECT_EQ(OpenForReading(folder_.Dir()), AVIERR_FILEOPEN);
    std::ofstream(folder_.Path("empty.avi")).close();
    EXPECT_EQ(OpenForReading(folder_.Path("empty.avi")), AVIERR_BADFORMAT);
    std::ofstream(folder_.Path("text.avi")) << "This is not a video, just some words in a file.\n";
    EXPECT_EQ(OpenForReading(folder_.Path("text.avi")), AVIERR_BADFORMAT);

    // A file FFmpeg knows, but neither AVI nor WAVE.
    int status = 0;
    RunCommand(std::string(kFfmpeg) + " -v error -nostdin -f lavfi -i color=c=red:s=16x16 -frames:v 1 " +
                   Quote(folder_.Path("picture.png")),
               status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(OpenForReading(folder_.Path("picture.png")), AVIERR_BADFORMAT);

    // The head of a real AVI file without its body.
    ASSERT_EQ(WriteClip(*video_.library, folder_.Path("whole.avi"), ClipPlan{}), AVIERR_OK);
    std::ifstream whole(folder_.Path("whole.avi"), std::ios::binary);
    std::string head(64, '\0');
    whole.read(head.data(), static_cast<std::streamsize>(head.size()));
    std::ofstream(folder_.Path("cut.avi"), std::ios::binary) << head;
    EXPECT_EQ(OpenForReading(folder_.Path("cut.avi")), AVIERR_BADFORMAT);

    // A whole file that may not be read.
    ASSERT_EQ(::chmod(folder_.Path("whole.avi").c_str(), 0), 0);
    EXPECT_EQ(Unprivileged([&] { return OpenForReading(folder_.Path("whole.avi")); }), AVIERR_FILEOPEN);
}

TEST_F(AviFiles, CreatingWhereNothingCanBeWrittenFails) {
    EXPECT_EQ(Create(folder_.Path("no/such/folder.avi")), AVIERR_FILEOPEN);
    std::ofstream(folder_.Path("plain")) << "x";
    EXPECT_EQ(Create(folder_.Path("plain/inside.avi")), AVIERR_FILEOPEN);
    EXPECT_EQ(Create(""), AVIERR_BADPARAM);

    const std::string locked = folder_.Path("locked");
    ASSERT_EQ(::mkdir(locked.c_str(), 0555), 0);
    EXPECT_EQ(Unprivileged([&] { return Create(locked + "/out.avi"); }), AVIERR_FILEOPEN);

    // Nor does a save there leave anything, or crash.
    ASSERT_EQ(WriteClip(*video_.library, folder_.Path("clip.avi"), ClipPlan{}), AVIERR_OK);
    EXPECT_EQ(Unprivileged([&] {
                  std::unique_ptr<AviFile> file;
                  std::shared_ptr<AviStream> stream;
                  AviResult rc = video_.library->OpenFile(folder_.Path("clip.avi"), AviOpenMode::read, file);
                  if (rc == AVIERR_OK) rc = file->GetStream(0, 0, stream);
                  if (rc != AVIERR_OK) return rc;
                  return video_.library->Save(locked + "/out.avi", {stream}, {nullptr}, nullptr);
              }),
              AVIERR_FILEOPEN);
    EXPECT_EQ(::access((locked + "/out.avi").c_str(), F_OK), -1);
    EXPECT_EQ(ProbeStreamCount(folder_.Path("clip.avi")), 1);  // the source is untouched
}

TEST_F(AviFiles, DroppedWithoutFinishingTheRecordingStaysPlayable) {
    const std::string path = folder_.Path("dropped.avi");
    {
        std::unique_ptr<AviFile> file;
        ASSERT_EQ(video_.library->OpenFile(path, AviOpenMode::create, file), AVIERR_OK);
        std::shared_ptr<AviStream> stream;
        ASSERT_EQ(file->CreateStream(VideoInfo(), stream), AVIERR_OK);
        ASSERT_EQ(stream->SetFormat(0, dib_.Data(), dib_.FormatSize()), AVIERR_OK);
        for (int p : {0, 1, 3}) ASSERT_EQ(stream->Write(p, 1, dib_.Bits(), dib_.BitsSize(), AVIIF_KEYFRAME), AVIERR_OK);
        file.reset();  // the stream outlives the file object and can still write
        ASSERT_EQ(stream->Write(4, 1, dib_.Bits(), dib_.BitsSize(), AVIIF_KEYFRAME), AVIERR_OK);
    }
    EXPECT_EQ(ProbeStream(path, 0)["nb_frames"], "5");

    // Dropped before anything was written: nothing to complete, nothing breaks.
    std::unique_ptr<AviFile> file;
    ASSERT_EQ(video_.library->OpenFile(folder_.Path("never.avi"), AviOpenMode::create, file), AVIERR_OK);
    std::shared_ptr<AviStream> stream;
    ASSERT_EQ(file->CreateStream(VideoInfo(), stream), AVIERR_OK);
    std::shared_ptr<AviStream> compressed;
    AviCompressOptions options;
    options.fccHandler = kMJPG;
    ASSERT_EQ(video_.library->MakeCompressedStream(stream, options, compressed), AVIERR_OK);
    ASSERT_EQ(compressed->SetFormat(0, dib_.Data(), dib_.FormatSize()), AVIERR_OK);
    file.reset();
    stream.reset();
    compressed.reset();
}

TEST_F(AviFiles, WritesFollowTheRules) {
    std::unique_ptr<AviFile> file;
    ASSERT_EQ(video_.library->OpenFile(folder_.Path("rules.avi"), AviOpenMode::create, file), AVIERR_OK);
    std::shared_ptr<AviStream> stream;
    AviStreamInfo noRate = VideoInfo(0);
    EXPECT_EQ(file->CreateStream(noRate, stream), AVIERR_BADPARAM);
    AviStreamInfo text = VideoInfo();
    text.fccType = MakeFourCC('t', 'x', 't', 's');
    EXPECT_EQ(file->CreateStream(text, stream), AVIERR_UNSUPPORTED);
    ASSERT_EQ(file->CreateStream(VideoInfo(), stream), AVIERR_OK);

    EXPECT_EQ(stream->Write(0, 1, dib_.Bits(), dib_.BitsSize(), AVIIF_KEYFRAME), AVIERR_BADFORMAT);  // no format yet
    const std::uint8_t junk[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(stream->SetFormat(0, junk, sizeof junk), AVIERR_BADFORMAT);
    BitmapInfoHeader fourBits = dib_.Header();
    fourBits.biBitCount = 4;
    std::uint8_t header[BitmapInfoHeader::kSize];
    fourBits.WriteTo(header);
    EXPECT_EQ(stream->SetFormat(0, header, sizeof header), AVIERR_UNSUPPORTED);
    ASSERT_EQ(stream->SetFormat(0, dib_.Data(), dib_.FormatSize()), AVIERR_OK);

    EXPECT_EQ(stream->Write(0, 1, dib_.Bits(), dib_.BitsSize() - 1, AVIIF_KEYFRAME), AVIERR_BADSIZE);
    EXPECT_EQ(stream->Write(0, 2, dib_.Bits(), dib_.BitsSize(), AVIIF_KEYFRAME), AVIERR_BADPARAM);
    EXPECT_EQ(stream->Write(-1, 1, dib_.Bits(), dib_.BitsSize(), AVIIF_KEYFRAME), AVIERR_BADPARAM);
    ASSERT_EQ(stream->Write(3, 1, dib_.Bits(), dib_.BitsSize(), AVIIF_KEYFRAME), AVIERR_OK);
    EXPECT_EQ(stream->Write(3, 1, dib_.Bits(), dib_.BitsSize(), AVIIF_KEYFRAME), AVIERR_BADPARAM);  // not forward
    EXPECT_EQ(stream->Write(2, 1, dib_.Bits(), dib_.BitsSize(), AVIIF_KEYFRAME), AVIERR_BADPARAM);

    std::shared_ptr<AviStream> late;
    EXPECT_EQ(file->CreateStream(VideoInfo(), late), AVIERR_UNSUPPORTED);  // the header is out
    std::shared_ptr<AviStream> same;
    ASSERT_EQ(file->GetStream(streamtypeVIDEO, 0, same), AVIERR_OK);
    EXPECT_EQ(same, stream);
    EXPECT_EQ(same->Info().dwLength, 4u);

    EXPECT_EQ(file->Finish(), AVIERR_OK);
    EXPECT_EQ(file->Finish(), AVIERR_OK);
    EXPECT_EQ(stream->Write(4, 1, dib_.Bits(), dib_.BitsSize(), AVIIF_KEYFRAME), AVIERR_BADHANDLE);

    std::unique_ptr<AviFile> empty;
    ASSERT_EQ(video_.library->OpenFile(folder_.Path("empty.avi"), AviOpenMode::create, empty), AVIERR_OK);
    EXPECT_EQ(empty->Finish(), AVIERR_NODATA);
}

TEST_F(AviFiles, CompressedStreamsCheckWhatTheyAreGiven) {
    std::unique_ptr<AviFile> file;
    ASSERT_EQ(video_.library->OpenFile(folder_.Path("c.avi"), AviOpenMode::create, file), AVIERR_OK);
    std::shared_ptr<AviStream> stream;
    ASSERT_EQ(file->CreateStream(VideoInfo(), stream), AVIERR_OK);

    AviCompressOptions options;
    options.fccType = streamtypeVIDEO;
    std::shared_ptr<AviStream> same;
    ASSERT_EQ(video_.library->MakeCompressedStream(stream, options, same), AVIERR_OK);
    // No compressor: the frames go to the file as they are, but through the writer thread all the same.
    ASSERT_NE(same, nullptr);
    EXPECT_EQ(same->Info().fccHandler, stream->Info().fccHandler);
    options.fccHandler = MakeFourCC('N', 'O', 'N', 'E');
    std::shared_ptr<AviStream> none;
    EXPECT_EQ(video_.library->MakeCompressedStream(stream, options, none), AVIERR_NOCOMPRESSOR);
    EXPECT_EQ(video_.library->MakeCompressedStream(nullptr, options, none), AVIERR_BADPARAM);

    options.fccHandler = kMJPG;
    std::shared_ptr<AviStream> compressed;
    ASSERT_EQ(video_.library->MakeCompressedStream(stream, options, compressed), AVIERR_OK);
    EXPECT_EQ(compressed->Write(0, 1, dib_.Bits(), dib_.BitsSize(), AVIIF_KEYFRAME), AVIERR_BADFORMAT);
    const std::uint8_t junk[8] = {};
    EXPECT_EQ(compressed->SetFormat(0, junk, sizeof junk), AVIERR_BADFORMAT);
    ASSERT_EQ(compressed->SetFormat(0, dib_.Data(), dib_.FormatSize()), AVIERR_OK);
    EXPECT_EQ(compressed->Format(), std::vector<std::uint8_t>(dib_.Data(), dib_.Data() + dib_.FormatSize()));
    EXPECT_EQ(BitmapInfoHeader::ReadFrom(stream->Format().data()).biCompression, kMJPG);
    EXPECT_EQ(compressed->Write(0, 1, dib_.Bits(), dib_.BitsSize() / 2, AVIIF_KEYFRAME), AVIERR_BADSIZE);
    ASSERT_EQ(compressed->Write(0, 1, dib_.Bits(), dib_.BitsSize(), AVIIF_KEYFRAME), AVIERR_OK);
    EXPECT_EQ(compressed->Write(0, 1, dib_.Bits(), dib_.BitsSize(), AVIIF_KEYFRAME), AVIERR_BADPARAM);
    EXPECT_EQ(compressed->Info().fccHandler, kMJPG);
    EXPECT_EQ(file->Finish(), AVIERR_OK);
}

TEST_F(AviFiles, LongGapsKeepTheTimeline) {
    // Far more skipped positions than the muxer fills by itself (a long pause at a high rate).
    const std::string path = folder_.Path("gap.avi");
    ClipPlan plan;
    plan.positions = {0, 70000};
    plan.rate = 50;
    ASSERT_EQ(WriteClip(*video_.library, path, plan), AVIERR_OK);
    EXPECT_EQ(ProbeStream(path, 0)["nb_frames"], "70001");
    std::unique_ptr<AviFile> file;
    std::shared_ptr<AviStream> stream;
    ASSERT_EQ(video_.library->OpenFile(path, AviOpenMode::read, file), AVIERR_OK);
    ASSERT_EQ(file->GetStream(0, 0, stream), AVIERR_OK);
    EXPECT_EQ(stream->Info().dwLength, 70001u);
    std::vector<std::uint8_t> data;
    std::uint32_t flags = 0;
    ASSERT_EQ(stream->Read(70000, data, flags), AVIERR_OK);
    EXPECT_FALSE(data.empty());
    ASSERT_EQ(stream->Read(35000, data, flags), AVIERR_OK);  // backwards into the gap
    EXPECT_TRUE(data.empty());
}

TEST_F(AviFiles, ReadingFilesCannotBeWritten) {
    ASSERT_EQ(WriteClip(*video_.library, folder_.Path("clip.avi"), ClipPlan{}), AVIERR_OK);
    std::unique_ptr<AviFile> file;
    ASSERT_EQ(video_.library->OpenFile(folder_.Path("clip.avi"), AviOpenMode::read, file), AVIERR_OK);
    std::shared_ptr<AviStream> stream;
    EXPECT_EQ(file->CreateStream(VideoInfo(), stream), AVIERR_READONLY);
    EXPECT_EQ(file->GetStream(streamtypeAUDIO, 0, stream), AVIERR_NODATA);
    EXPECT_EQ(file->GetStream(0, 1, stream), AVIERR_NODATA);
    ASSERT_EQ(file->GetStream(0, 0, stream), AVIERR_OK);
    EXPECT_EQ(stream->Write(8, 1, dib_.Bits(), dib_.BitsSize(), 0), AVIERR_READONLY);
    EXPECT_EQ(stream->SetFormat(0, dib_.Data(), dib_.FormatSize()), AVIERR_READONLY);
    EXPECT_EQ(file->Finish(), AVIERR_OK);
}

}  // namespace
}  // namespace tolm::testing
