#pragma once

#include <memory>

#include "platform/AviLibrary.h"
#include "platform/VideoCompressors.h"

namespace tolm {

// The installable compressors over libavcodec's encoders.
std::unique_ptr<CompressorManager> CreateFfmpegCompressorManager();

// The AVI file services over libavformat; compressed streams use the compressors (and the settings the
// user chose for them) of `compressors`, which must come from CreateFfmpegCompressorManager.
std::unique_ptr<AviLibrary> CreateFfmpegAviLibrary(CompressorManager& compressors);

}  // namespace tolm
