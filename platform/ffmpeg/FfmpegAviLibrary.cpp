#include "platform/ffmpeg/FfmpegAviLibrary.h"

#include <utility>

#include "platform/ffmpeg/AviReadFile.h"
#include "platform/ffmpeg/AviSave.h"
#include "platform/ffmpeg/AviWriteFile.h"
#include "platform/ffmpeg/CompressedStream.h"
#include "platform/ffmpeg/OutputContainer.h"
#include "platform/ffmpeg/TempOutputFile.h"

namespace tolm::ffmpeg {
namespace {

// Read by the thread that saved, right after its save.
thread_local std::string lastProblem;

}  // namespace

FfmpegAviLibrary::FfmpegAviLibrary(std::shared_ptr<const CompressorRegistry> registry, const QueueOptions& queue)
    : registry_(std::move(registry)), queue_(queue) {}

// 1.10: files beyond 1 GB (OpenDML) and compressed streams.
std::uint32_t FfmpegAviLibrary::Version() const {
    return 0x010A0000u;
}

AviResult FfmpegAviLibrary::OpenFile(const std::string& path, AviOpenMode mode, std::unique_ptr<AviFile>& file) {
    file.reset();
    return mode == AviOpenMode::create ? AviWriteFile::Create(path, file) : AviReadFile::Open(path, file);
}

AviResult FfmpegAviLibrary::MakeCompressedStream(std::shared_ptr<AviStream> target, const AviCompressOptions& options,
                                                 std::shared_ptr<AviStream>& compressed) {
    if (!target) return AVIERR_BADPARAM;
    const bool video = target->Info().fccType == streamtypeVIDEO;
    if (options.fccHandler == 0 && !video) {
        compressed = std::move(target);  // nothing to compress or to wait for
        return AVIERR_OK;
    }
    if (!video) return AVIERR_UNSUPPORTED;
    // Encoding and disk writes run on the stream's own thread, so the caller's timeline is not held up.
    const auto* file = dynamic_cast<const AviWriteStream*>(target.get());
    std::shared_ptr<AviMuxer> muxer = file ? file->Muxer() : nullptr;
    std::shared_ptr<AviStream> inner = std::move(target);
    const bool encodes = options.fccHandler != 0;
    if (encodes) {
        const CatalogEntry* entry = FindCompressor(options.fccHandler);
        if (!entry || !registry_) return AVIERR_NOCOMPRESSOR;
        inner = std::make_shared<CompressedStream>(std::move(inner), options, *entry, registry_);
    }
    compressed = std::make_shared<QueuedStream>(std::move(inner), std::move(muxer), encodes, queue_);
    return AVIERR_OK;
}

AviResult FfmpegAviLibrary::Save(const std::string& path, const std::vector<std::shared_ptr<AviStream>>& streams,
                                 const std::vector<const AviCompressOptions*>& options,
                                 const AviSaveProgress& progress) {
    return SaveStreams(path, streams, options, progress, registry_, lastProblem);
}

AviResult FfmpegAviLibrary::MoveFile(const std::string& from, const std::string& path) {
    // The temporary file is an AVI: under another container's name it must be written again.
    lastProblem.clear();
    if (ContainerOf(path) != OutputContainer::avi) return AVIERR_UNSUPPORTED;
    return MoveIntoPlace(from, path, lastProblem);
}

std::string FfmpegAviLibrary::LastProblem() const {
    return lastProblem;
}

bool FfmpegAviLibrary::FileTakes(const std::string& path, std::uint32_t fccHandler, int bitCount) const {
    return ContainerTakesHandler(ContainerOf(path), fccHandler, bitCount);
}

}  // namespace tolm::ffmpeg
