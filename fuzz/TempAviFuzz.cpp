// The temporary-AVI reader on arbitrary bytes: a file left by a recorder that was killed, opened by name and
// read the way the save and the recovery read it: the first stream (the video) and a second one (the sound)
// when there is one, their descriptions and formats, then every sample, in the save's runs.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "fuzz/FuzzTempFile.h"
#include "platform/ffmpeg/AviReadStream.h"
#include "platform/ffmpeg/FfmpegAviLibrary.h"
#include "platform/ffmpeg/FfmpegErrors.h"

namespace {

// The save copies sound in runs of up to this many blocks.
constexpr std::int64_t kAudioRun = 1 << 16;

void ReadStream(tolm::AviFile& file, std::int32_t index) {
    std::shared_ptr<tolm::AviStream> stream;
    if (file.GetStream(0, index, stream) != tolm::AVIERR_OK) return;
    const tolm::AviStreamInfo info = stream->Info();
    if (stream->Format().empty()) return;
    auto* reader = dynamic_cast<tolm::ffmpeg::AviReadStream*>(stream.get());
    if (!reader) std::abort();
    const bool video = info.fccType == tolm::streamtypeVIDEO;
    std::vector<std::uint8_t> data;
    std::int64_t position = 0;
    while (position < info.dwLength) {
        std::uint32_t flags = 0;
        std::int64_t samples = 0;
        if (reader->ReadChunk(position, video ? 1 : kAudioRun, data, flags, samples) != tolm::AVIERR_OK) break;
        if (samples < 1) std::abort();  // the save would loop for ever
        position += samples;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tolm::fuzz::FuzzTempFile file("recording.avi");
    static tolm::ffmpeg::FfmpegAviLibrary library(nullptr);
    // The program's log filter, but quieter: every broken input would log FFmpeg's complaints.
    static const bool quiet = [] {
        av_log_set_level(AV_LOG_FATAL);
        tolm::ffmpeg::InstallLogFilter();
        return true;
    }();
    (void)quiet;
    file.Write(data, size);
    {
        std::unique_ptr<tolm::AviFile> avi;
        if (library.OpenFile(file.Path(), tolm::AviOpenMode::read, avi) == tolm::AVIERR_OK) {
            ReadStream(*avi, 0);
            ReadStream(*avi, 1);
        }
    }
    file.Remove();
    return 0;
}
