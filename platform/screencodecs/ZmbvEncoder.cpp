#include "platform/screencodecs/ZmbvEncoder.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <span>
#include <stdexcept>
#include <utility>

namespace tolm::screencodecs {
namespace {

constexpr std::uint8_t kKeyFrameFlag = 1;
constexpr std::uint8_t kVersionHigh = 0;
constexpr std::uint8_t kVersionLow = 1;
constexpr std::uint8_t kDeflated = 1;
constexpr std::uint8_t kFormat32Bits = 8;
constexpr std::uint32_t kBestQuality = 10000;
constexpr std::uint32_t kUnsetKeyFrameEvery = 25;

std::size_t RowBytes(int width) {
    return static_cast<std::size_t>(width) * 4;
}

// The compression level 0..9 that quality has always meant for this format: 0 stores, as before, and the rest
// spread over zlib's fast levels 1..3.
int DeflateLevel(std::uint32_t quality) {
    int level = 9;
    if (quality >= 1 && quality <= kBestQuality)
        level = static_cast<int>(std::lround(9.0 * (quality - 1) / (kBestQuality - 1)));
    return level == 0 ? 0 : 1 + (level - 1) / 3;
}

}  // namespace

ZmbvEncoder::ZmbvEncoder(const EncoderSettings& settings)
    : width_(settings.width),
      height_(settings.height),
      keyFrameEvery_(settings.keyFrameEvery == 0 ? kUnsetKeyFrameEvery : settings.keyFrameEvery),
      search_(width_, height_),
      deflater_(DeflateLevel(settings.quality)) {
    if (width_ <= 0 || height_ <= 0) throw std::invalid_argument("ZMBV: empty picture size");
    previous_.resize(RowBytes(width_) * static_cast<std::size_t>(height_));
    vectors_.resize(static_cast<std::size_t>(search_.Blocks()));
    table_.assign((static_cast<std::size_t>(search_.Blocks()) * 2 + 3) & ~std::size_t{3}, 0);
}

Picture ZmbvEncoder::Previous() const {
    return Picture{previous_.data(), static_cast<std::ptrdiff_t>(RowBytes(width_)), width_, height_};
}

void ZmbvEncoder::Encode(const Picture& picture, bool& key, std::vector<std::uint8_t>& packet) {
    if (picture.width != width_ || picture.height != height_ || picture.data == nullptr ||
        static_cast<std::size_t>(std::abs(picture.stride)) < RowBytes(width_))
        throw std::invalid_argument("ZMBV: the picture is not the stream's size");
    // A frame that fails half-way leaves the reader's state unknown: a key frame comes next.
    const std::uint32_t since = std::exchange(sinceKey_, 0);
    key = key || since == 0 || since >= keyFrameEvery_;
    packet.clear();
    if (key)
        EncodeKey(picture, packet);
    else
        EncodeDelta(picture, packet);
    sinceKey_ = key ? 1 : since + 1;
}

void ZmbvEncoder::EncodeKey(const Picture& picture, std::vector<std::uint8_t>& packet) {
    const std::size_t row = RowBytes(width_);
    for (int y = 0; y < height_; ++y)
        std::memcpy(previous_.data() + row * static_cast<std::size_t>(y),
                    picture.data + static_cast<std::ptrdiff_t>(y) * picture.stride, row);
    packet = {kKeyFrameFlag,
              kVersionHigh,
              kVersionLow,
              kDeflated,
              kFormat32Bits,
              static_cast<std::uint8_t>(ZmbvBlockSearch::kBlock),
              static_cast<std::uint8_t>(ZmbvBlockSearch::kBlock)};
    deflater_.Restart();
    const std::span<const std::uint8_t> whole(previous_);
    deflater_.AddFrame(std::span(&whole, 1), packet);
    std::fill(vectors_.begin(), vectors_.end(), ZmbvVector{});
}

void ZmbvEncoder::EncodeDelta(const Picture& picture, std::vector<std::uint8_t>& packet) {
    const Picture previous = Previous();
    search_.Search(picture, previous, table_.data(), vectors_, changes_);
    const std::span<const std::uint8_t> pieces[] = {table_, changes_.xorBytes};
    packet.push_back(0);
    deflater_.AddFrame(pieces, packet);
    search_.Update(picture, previous_.data(), changes_);
}

}  // namespace tolm::screencodecs
