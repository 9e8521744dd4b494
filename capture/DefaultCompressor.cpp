#include "capture/DefaultCompressor.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "capture/CompressorTexts.h"
#include "platform/VideoTypes.h"

namespace tolm {

bool IsMp4Name(const std::string& outputFile) {
    constexpr std::string_view kEnding = ".mp4";
    return outputFile.size() >= kEnding.size() &&
           std::equal(kEnding.rbegin(), kEnding.rend(), outputFile.rbegin(),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

namespace {

constexpr std::uint32_t kH264 = MakeFourCC('H', '2', '6', '4');

}  // namespace

std::uint32_t DefaultCompressorFor(const std::string& outputFile, std::uint32_t otherwise) {
    return IsMp4Name(outputFile) ? kH264 : otherwise;
}

const char* DefaultCompressorName(std::uint32_t handler) {
    return handler == kH264 ? "H.264" : kDefaultCompressorName;
}

}  // namespace tolm
