// The sample primitives of unit scWaveUtils.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "audio/LittleEndian.h"
#include "audio/scWaveUtils.h"

namespace tolm {

namespace {

enum class SampleKind { None, Unsigned8, Signed16 };

SampleKind KindOf(const WAVEFORMATEX& format) {
    if (format.wFormatTag != kWaveFormatPCM) return SampleKind::None;
    if (format.wBitsPerSample == 8) return SampleKind::Unsigned8;
    if (format.wBitsPerSample == 16) return SampleKind::Signed16;
    return SampleKind::None;
}

constexpr int kMidpoint8 = 128;

}  // namespace

int PeakLevel(const void* buffer, std::size_t count, const WAVEFORMATEX& format) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    switch (KindOf(format)) {
        case SampleKind::Unsigned8: {
            int peak = 0;
            for (std::size_t i = 0; i < count; ++i) peak = std::max<int>(peak, bytes[i]);
            return peak >= kMidpoint8 ? (peak - kMidpoint8) * 100 / 127 : 0;
        }
        case SampleKind::Signed16: {
            int peak = 0;
            for (std::size_t i = 0; i + 1 < count; i += 2) peak = std::max<int>(peak, GetSample16(bytes + i));
            return peak * 100 / 32767;
        }
        case SampleKind::None:
            break;
    }
    return -1;
}

bool FillSilence(void* buffer, std::size_t count, const WAVEFORMATEX& format) {
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    switch (KindOf(format)) {
        case SampleKind::Unsigned8:
            std::fill_n(bytes, count, std::uint8_t{127});
            return true;
        case SampleKind::Signed16:
            std::fill_n(bytes, count, std::uint8_t{0});
            return true;
        case SampleKind::None:
            break;
    }
    return false;
}

bool ReverseSamples(void* buffer, std::size_t count, const WAVEFORMATEX& format) {
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    switch (KindOf(format)) {
        case SampleKind::Unsigned8:
            std::reverse(bytes, bytes + count);
            return true;
        case SampleKind::Signed16: {
            std::size_t first = 0;
            std::size_t last = count / 2;
            while (first + 1 < last) {
                --last;
                std::swap_ranges(bytes + 2 * first, bytes + 2 * first + 2, bytes + 2 * last);
                ++first;
            }
            return true;
        }
        case SampleKind::None:
            break;
    }
    return false;
}

bool ScaleSamples(void* buffer, std::size_t count, const WAVEFORMATEX& format, int percent) {
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    const std::int64_t p = percent;
    switch (KindOf(format)) {
        case SampleKind::Unsigned8:
            // Scaled around the midpoint: scaling the raw byte would move the zero line and click.
            for (std::size_t i = 0; i < count; ++i) {
                const std::int64_t s = bytes[i] - kMidpoint8;
                bytes[i] = static_cast<std::uint8_t>(std::clamp<std::int64_t>(s + s * p / 100, -128, 127) + 128);
            }
            return true;
        case SampleKind::Signed16:
            for (std::size_t i = 0; i + 1 < count; i += 2) {
                const std::int64_t s = GetSample16(bytes + i);
                PutSample16(bytes + i,
                            static_cast<std::int16_t>(std::clamp<std::int64_t>(s + s * p / 100, -32767, 32767)));
            }
            return true;
        case SampleKind::None:
            break;
    }
    return false;
}

bool MixSamples(std::span<const std::span<const std::uint8_t>> inputs, const WAVEFORMATEX& format,
                std::size_t outputCount, void* output) {
    const SampleKind kind = KindOf(format);
    if (kind == SampleKind::None || inputs.empty()) return false;
    auto* out = static_cast<std::uint8_t*>(output);
    const auto n = static_cast<std::int64_t>(inputs.size());
    // One cursor per input, advanced in whole samples.
    std::vector<std::size_t> cursors(inputs.size(), 0);
    const std::size_t unit = kind == SampleKind::Unsigned8 ? 1 : 2;
    for (std::size_t o = 0; o + unit <= outputCount; o += unit) {
        std::int64_t sum = 0;
        for (std::size_t k = 0; k < inputs.size(); ++k) {
            const std::span<const std::uint8_t>& in = inputs[k];
            const bool has = cursors[k] + unit <= in.size();
            if (kind == SampleKind::Unsigned8) {
                sum += has ? in[cursors[k]] : kMidpoint8;
            } else if (has) {
                sum += GetSample16(in.data() + cursors[k]);
            }
            if (has) cursors[k] += unit;
        }
        if (kind == SampleKind::Unsigned8) {
            out[o] = static_cast<std::uint8_t>(sum / n);
        } else {
            PutSample16(out + o, static_cast<std::int16_t>(sum / n));
        }
    }
    return true;
}

}  // namespace tolm
