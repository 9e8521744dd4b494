#pragma once

namespace tolm {

// The default compressor's name as the user sees it, and the question offering it; the settling and the
// recording's result both use them.
inline constexpr const char* kDefaultCompressorName = "MS Video Codec";
inline constexpr const char* kUseDefaultCompressorQuestion =
    "Error: Not recording AVI file using current compressor.\r\nUse default compressor?";

}  // namespace tolm
