#include "platform/ffmpeg/FfmpegAviLibrary.h"

#include <utility>

#include "platform/ffmpeg/AviReadFile.h"
#include "platform/ffmpeg/AviSave.h"
#include "platform/ffmpeg/AviWriteFile.h"
#include "platform/ffmpeg/CompressedStream.h"

namespace tolm::ffmpeg {

FfmpegAviLibrary::FfmpegAviLibrary(std::shared_ptr<const CompressorRegistry> registry)
    : registry_(std::move(registry)) {}

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
    if (options.fccHandler == 0) {
        compressed = std::move(target);  // nothing to compress: frames go straight to the file
        return AVIERR_OK;
    }
    if (target->Info().fccType != streamtypeVIDEO) return AVIERR_UNSUPPORTED;
    const CatalogEntry* entry = FindCompressor(options.fccHandler);
    if (!entry || !registry_) return AVIERR_NOCOMPRESSOR;
    compressed = std::make_shared<CompressedStream>(std::move(target), options, *entry, registry_);
    return AVIERR_OK;
}

AviResult FfmpegAviLibrary::Save(const std::string& path, const std::vector<std::shared_ptr<AviStream>>& streams,
                                 const std::vector<const AviCompressOptions*>& options,
                                 const AviSaveProgress& progress) {
    return SaveStreams(path, streams, options, progress, registry_);
}

}  // namespace tolm::ffmpeg
