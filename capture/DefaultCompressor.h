#pragma once

#include <cstdint>
#include <string>

namespace tolm {

// Whether `outputFile` names an MP4 file (".mp4", any case), which holds H.264 but none of the AVI compressors.
bool IsMp4Name(const std::string& outputFile);

// The compressor a recording into `outputFile` takes when none is chosen: H.264 for an MP4 name, else `otherwise`
// (each program's own default). Both programs decide it here, so an .mp4 name works with either.
std::uint32_t DefaultCompressorFor(const std::string& outputFile, std::uint32_t otherwise);

// The name the user sees for a default the engine took: "H.264", else the engine's own "MS Video Codec".
const char* DefaultCompressorName(std::uint32_t handler);

}  // namespace tolm
