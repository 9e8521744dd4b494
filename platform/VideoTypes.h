#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tolm {

// Four-character codes are 32-bit values with the first character in the low byte.
constexpr std::uint32_t MakeFourCC(char a, char b, char c, char d) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(d)) << 24;
}
std::string FourCCToString(std::uint32_t code);

inline constexpr std::uint32_t streamtypeVIDEO = MakeFourCC('v', 'i', 'd', 's');
inline constexpr std::uint32_t streamtypeAUDIO = MakeFourCC('a', 'u', 'd', 's');
inline constexpr std::uint32_t ICTYPE_VIDEO = MakeFourCC('v', 'i', 'd', 'c');

// Results of the AVI services: 0 for success, otherwise 0x80044000 + n as a signed 32-bit value.
using AviResult = std::int32_t;
constexpr AviResult AviError(std::uint32_t code) {
    return static_cast<AviResult>(code);
}
inline constexpr AviResult AVIERR_OK = 0;
inline constexpr AviResult AVIERR_UNSUPPORTED = AviError(0x80044065);
inline constexpr AviResult AVIERR_BADFORMAT = AviError(0x80044066);
inline constexpr AviResult AVIERR_MEMORY = AviError(0x80044067);
inline constexpr AviResult AVIERR_INTERNAL = AviError(0x80044068);
inline constexpr AviResult AVIERR_BADFLAGS = AviError(0x80044069);
inline constexpr AviResult AVIERR_BADPARAM = AviError(0x8004406A);
inline constexpr AviResult AVIERR_BADSIZE = AviError(0x8004406B);
inline constexpr AviResult AVIERR_BADHANDLE = AviError(0x8004406C);
inline constexpr AviResult AVIERR_FILEREAD = AviError(0x8004406D);
inline constexpr AviResult AVIERR_FILEWRITE = AviError(0x8004406E);
inline constexpr AviResult AVIERR_FILEOPEN = AviError(0x8004406F);
inline constexpr AviResult AVIERR_COMPRESSOR = AviError(0x80044070);
inline constexpr AviResult AVIERR_NOCOMPRESSOR = AviError(0x80044071);
inline constexpr AviResult AVIERR_READONLY = AviError(0x80044072);
inline constexpr AviResult AVIERR_NODATA = AviError(0x80044073);
inline constexpr AviResult AVIERR_BUFFERTOOSMALL = AviError(0x80044074);
inline constexpr AviResult AVIERR_CANTCOMPRESS = AviError(0x80044075);
inline constexpr AviResult AVIERR_USERABORT = AviError(0x800440C6);
inline constexpr AviResult AVIERR_ERROR = AviError(0x800440C7);
inline constexpr AviResult REGDB_E_CLASSNOTREG = AviError(0x80040154);

inline constexpr std::uint32_t AVIIF_KEYFRAME = 0x10;
inline constexpr std::uint32_t AVICOMPRESSF_KEYFRAMES = 0x4;
inline constexpr std::uint32_t AVICOMPRESSF_VALID = 0x8;

struct FrameRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// What a stream is: type, handler, timing (rate / scale samples per second), sizes and name.
struct AviStreamInfo {
    std::uint32_t fccType = 0;
    std::uint32_t fccHandler = 0;
    std::uint32_t dwFlags = 0;
    std::uint32_t dwCaps = 0;
    std::uint16_t wPriority = 0;
    std::uint16_t wLanguage = 0;
    std::uint32_t dwScale = 0;
    std::uint32_t dwRate = 0;
    std::uint32_t dwStart = 0;
    std::uint32_t dwLength = 0;
    std::uint32_t dwInitialFrames = 0;
    std::uint32_t dwSuggestedBufferSize = 0;
    std::uint32_t dwQuality = 0;
    std::uint32_t dwSampleSize = 0;
    FrameRect rcFrame;
    std::uint32_t dwEditCount = 0;
    std::uint32_t dwFormatChangeCount = 0;
    std::string szName;  // at most 64 characters
};

// How a stream is to be compressed.
struct AviCompressOptions {
    std::uint32_t fccType = 0;
    std::uint32_t fccHandler = 0;  // 0: no compression
    std::uint32_t dwKeyFrameEvery = 0;
    std::uint32_t dwQuality = 0;  // 0..10000
    std::uint32_t dwBytesPerSecond = 0;
    std::uint32_t dwFlags = 0;
    std::vector<std::uint8_t> format;
    std::vector<std::uint8_t> parms;
    std::uint32_t dwInterleaveEvery = 0;
};

// An installable compressor as the compressor manager describes it.
struct CompressorInfo {
    std::uint32_t fccType = 0;
    std::uint32_t fccHandler = 0;
    std::uint32_t dwFlags = 0;
    std::uint32_t dwVersion = 0;
    std::uint32_t dwVersionICM = 0;
    std::string szName;         // at most 16 characters
    std::string szDescription;  // at most 128 characters
    std::string szDriver;       // at most 128 characters
};

}  // namespace tolm
