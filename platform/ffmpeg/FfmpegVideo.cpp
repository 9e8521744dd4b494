#include "platform/ffmpeg/FfmpegVideo.h"

#include "platform/ffmpeg/FfmpegAviLibrary.h"
#include "platform/ffmpeg/FfmpegCompressorManager.h"
#include "platform/ffmpeg/FfmpegErrors.h"

namespace tolm {

std::unique_ptr<CompressorManager> CreateFfmpegCompressorManager() {
    ffmpeg::InstallLogFilter();
    return std::make_unique<ffmpeg::FfmpegCompressorManager>();
}

std::unique_ptr<AviLibrary> CreateFfmpegAviLibrary(CompressorManager& compressors) {
    ffmpeg::InstallLogFilter();
    auto* ours = dynamic_cast<ffmpeg::FfmpegCompressorManager*>(&compressors);
    return std::make_unique<ffmpeg::FfmpegAviLibrary>(ours ? ours->Registry() : nullptr);
}

}  // namespace tolm
