#include "platform/ffmpeg/FfmpegCompressorManager.h"

#include "platform/ffmpeg/FfmpegCompressor.h"

namespace tolm::ffmpeg {
namespace {

bool IsVideoClass(std::uint32_t fccType) {
    return fccType == ICTYPE_VIDEO || fccType == streamtypeVIDEO;
}

}  // namespace

FfmpegCompressorManager::FfmpegCompressorManager() : registry_(std::make_shared<CompressorRegistry>()) {}

bool FfmpegCompressorManager::Info(std::uint32_t fccType, std::uint32_t index, CompressorInfo& info) {
    const auto& list = AvailableCompressors();
    if (!IsVideoClass(fccType) || index >= list.size()) return false;
    info = DescribeCompressor(list[index]);
    return true;
}

std::unique_ptr<VideoCompressor> FfmpegCompressorManager::Open(std::uint32_t fccType, std::uint32_t fccHandler) {
    if (!IsVideoClass(fccType)) return nullptr;
    const CatalogEntry* entry = FindCompressor(fccHandler);
    if (!entry) return nullptr;
    return std::make_unique<FfmpegCompressor>(*entry, registry_);
}

}  // namespace tolm::ffmpeg
