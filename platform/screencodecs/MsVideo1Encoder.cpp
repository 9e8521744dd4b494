#include "platform/screencodecs/MsVideo1Encoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

namespace tolm::screencodecs {
namespace {

static_assert(std::endian::native == std::endian::little, "B,G,R,0 pixels are read as little-endian words");

// As libavcodec's encoder of this format: 25 delta frames after a key frame.
constexpr std::uint32_t kDefaultKeyFrameEvery = 26;
constexpr int kRowsPerBand = 8;

int BlocksAcross(const EncoderSettings& settings) {
    if (settings.width <= 0 || settings.height <= 0 || settings.width % 4 || settings.height % 4)
        throw std::invalid_argument("MS Video 1 needs a width and height that are multiples of 4");
    return settings.width / 4;
}

}  // namespace

MsVideo1Encoder::MsVideo1Encoder(const EncoderSettings& settings)
    : columns_(BlocksAcross(settings)),
      rows_(settings.height / 4),
      keyFrameEvery_(settings.keyFrameEvery ? settings.keyFrameEvery : kDefaultKeyFrameEvery),
      coder_(settings.quality),
      source_(static_cast<std::size_t>(columns_) * rows_),
      shown_(source_.size()),
      rowsPerBand_(kRowsPerBand),
      pool_(0, "tolm-msvc") {
    bands_.resize(static_cast<std::size_t>((rows_ + rowsPerBand_ - 1) / rowsPerBand_));
    for (Band& band : bands_)
        band.bytes.resize(static_cast<std::size_t>(columns_) * rowsPerBand_ * msvideo1::kMaxBlockBytes);
}

void MsVideo1Encoder::Encode(const Picture& picture, bool& key, std::vector<std::uint8_t>& packet) {
    if (picture.width != columns_ * 4 || picture.height != rows_ * 4 || !picture.data)
        throw std::invalid_argument("MS Video 1 picture of another size");
    key = key || !started_ || sinceKey_ + 1 >= keyFrameEvery_;
    sinceKey_ = key ? 0 : sinceKey_ + 1;
    started_ = true;

    const bool keyFrame = key;
    pool_.Run(static_cast<int>(bands_.size()), [&](int band) { CodeBand(picture, keyFrame, band); });
    std::size_t total = 0;
    for (const Band& band : bands_) total += band.used;
    packet.resize(total);
    std::uint8_t* out = packet.data();
    for (const Band& band : bands_) {
        std::memcpy(out, band.bytes.data(), band.used);
        out += band.used;
    }
}

// Block `column` of block row `row`, counted from the bottom, its bottom row first.
msvideo1::Block MsVideo1Encoder::Load(const Picture& picture, int column, int row) const {
    msvideo1::Block block;
    const std::uint8_t* bottom =
        picture.data + static_cast<std::ptrdiff_t>(picture.height - 1 - 4 * row) * picture.stride;
    for (int y = 0; y < 4; ++y) std::memcpy(block.data() + 4 * y, bottom - y * picture.stride + 16 * column, 16);
    for (std::uint32_t& pixel : block) pixel &= 0xFFFFFF;  // the fourth byte is nobody's
    return block;
}

void MsVideo1Encoder::CodeBand(const Picture& picture, bool key, int index) {
    Band& band = bands_[static_cast<std::size_t>(index)];
    std::uint8_t* out = band.bytes.data();
    int skipped = 0;
    auto endRun = [&] {
        if (skipped == 0) return;
        msvideo1::WriteSkip(skipped, out);
        out += 2;
        skipped = 0;
    };
    const int first = index * rowsPerBand_;
    const int last = std::min(rows_, first + rowsPerBand_);
    for (int row = first; row < last; ++row) {
        for (int column = 0; column < columns_; ++column) {
            const std::size_t at = static_cast<std::size_t>(row) * columns_ + column;
            const msvideo1::Block block = Load(picture, column, row);
            // The same pixels as last time: the decoder already shows what coding them would give.
            int bytes = 0;
            if (key || block != source_[at]) {
                source_[at] = block;
                bytes = coder_.Code(block, key, shown_[at], out);
            }
            if (bytes == 0) {
                if (++skipped == msvideo1::kMaxSkipRun) endRun();
                continue;
            }
            // The code went where the run's word goes; it moves up behind it.
            if (skipped) {
                std::memmove(out + 2, out, static_cast<std::size_t>(bytes));
                endRun();
            }
            out += bytes;
        }
    }
    endRun();
    band.used = static_cast<std::size_t>(out - band.bytes.data());
}

}  // namespace tolm::screencodecs
