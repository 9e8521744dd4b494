#include "capture/ScreenCamera.h"

namespace tolm {
namespace {

constexpr std::uint32_t kMaxInstalled = 51;

}  // namespace

std::vector<std::string> TScreenCamera::GetVideoCodecList() {
    // The compress query looks only at the frame format, which the area and colour depth decide; building
    // it directly spares a screen grab (and any notice an effect refusal would show during it).
    const Rect area = screenArea_.Bounds();
    BitmapInfoHeader probe;
    probe.biWidth = area.width;
    probe.biHeight = area.height;
    probe.biBitCount = static_cast<std::uint16_t>(BitCount());
    probe.biSizeImage = static_cast<std::uint32_t>(RowStride(area.width, BitCount()) * area.height);
    probe.biClrUsed = BitCount() <= 8 ? 256u : 0u;

    std::vector<CompressorInfo> infos(101);
    int count = 0;
    for (std::uint32_t i = 0; i < kMaxInstalled; ++i) {
        CompressorInfo entry;
        if (!services_.compressors.Info(ICTYPE_VIDEO, i, entry)) continue;
        std::unique_ptr<VideoCompressor> compressor = services_.compressors.Open(entry.fccType, entry.fccHandler);
        if (!compressor || !compressor->CompressQuery(probe)) continue;
        infos[static_cast<std::size_t>(count++)] = compressor->GetInfo();
    }

    std::vector<std::string> list;
    for (int i = 0; i < count; ++i) list.push_back(infos[static_cast<std::size_t>(i)].szDescription);
    std::lock_guard lock(compressorMutex_);
    compressorInfos_ = std::move(infos);
    compressorCount_ = count;
    compressorList_ = list;
    return list;
}

std::vector<std::string> TScreenCamera::CompressorList() const {
    std::lock_guard lock(compressorMutex_);
    return compressorList_;
}

int TScreenCamera::CompressorCount() const {
    std::lock_guard lock(compressorMutex_);
    return compressorCount_;
}

CompressorInfo TScreenCamera::CompressorInfos(int index) const {
    std::lock_guard lock(compressorMutex_);
    if (index < 0 || index >= static_cast<int>(compressorInfos_.size())) return {};
    return compressorInfos_[static_cast<std::size_t>(index)];
}

void TScreenCamera::CompressorAbout(int index) {
    if (index < 0 || index >= CompressorCount()) return;
    const CompressorInfo info = CompressorInfos(index);
    if (std::unique_ptr<VideoCompressor> c = services_.compressors.Open(info.fccType, info.fccHandler))
        c->ShowAbout(services_.host);
}

void TScreenCamera::CompressorConfigure(int index) {
    if (index < 0 || index >= CompressorCount()) return;
    const CompressorInfo info = CompressorInfos(index);
    if (std::unique_ptr<VideoCompressor> c = services_.compressors.Open(info.fccType, info.fccHandler))
        c->Configure(services_.host);
}

TScreenCamera::CompressorFeatures TScreenCamera::GetCompressorFeatures(int index) {
    CompressorFeatures features;
    if (index < 0 || index >= CompressorCount()) return features;
    const CompressorInfo info = CompressorInfos(index);
    if (std::unique_ptr<VideoCompressor> c = services_.compressors.Open(info.fccType, info.fccHandler)) {
        features.hasAbout = c->HasAboutBox();
        features.hasConfigure = c->HasConfigureDialog();
    }
    return features;
}

}  // namespace tolm
