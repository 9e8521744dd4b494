#include "capture/ScreenCamera.h"
#include "capture/SizeMultiple.h"

namespace tolm {
namespace {

constexpr std::uint32_t kMaxInstalled = 51;

}  // namespace

std::vector<std::string> TScreenCamera::GetVideoCodecList() {
    // The compress query looks only at the frame format, which the area and colour depth decide; building
    // it directly spares a screen grab (and any notice an effect refusal would show during it).
    const Rect area = screenArea_.Bounds();
    const int bits = BitCount();
    const auto takes = [bits](VideoCompressor& compressor, int width, int height) {
        BitmapInfoHeader probe;
        probe.biWidth = width;
        probe.biHeight = height;
        probe.biBitCount = static_cast<std::uint16_t>(bits);
        probe.biSizeImage = static_cast<std::uint32_t>(RowStride(width, bits) * height);
        probe.biClrUsed = bits <= 8 ? 256u : 0u;
        return compressor.CompressQuery(probe);
    };
    // One that needs sizes in multiples of 2, 4 or 8 is offered too: the recording's start fits the area to it.
    // Picked areas are rarely such multiples, and a list without it could not even name it.
    const auto takesFitted = [&](VideoCompressor& compressor) {
        int width = area.width;
        int height = area.height;
        for (int b = 1; b <= 8; b *= 2) {
            width = AdjustToMultiple(width, b, desktopWidth_);
            height = AdjustToMultiple(height, b, desktopHeight_);
            if (takes(compressor, width, height)) return true;
        }
        return false;
    };

    std::vector<CompressorInfo> infos;
    for (std::uint32_t i = 0; i < kMaxInstalled; ++i) {
        CompressorInfo entry;
        if (!services_.compressors.Info(ICTYPE_VIDEO, i, entry)) continue;
        std::unique_ptr<VideoCompressor> compressor = services_.compressors.Open(entry.fccType, entry.fccHandler);
        if (!compressor || !takesFitted(*compressor)) continue;
        infos.push_back(compressor->GetInfo());
    }
    // Only the main thread rebuilds the table: what it now lists is what was just found.
    compressorTable_.Replace(std::move(infos));
    return compressorTable_.List();
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
