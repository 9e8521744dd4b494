// Whole-buffer audio conversion and the wave container's format conversion.
#include <new>

#include "audio/WaveStreamAdapter.h"
#include "audio/scWaveUtils.h"
#include "platform/AudioConverter.h"

namespace tolm {

bool ConvertWithACM(AudioConverter& converter, const WaveFormatBlock& source, std::span<const std::uint8_t> data,
                    const WaveFormatBlock& target, std::vector<std::uint8_t>& output) {
    output.clear();
    try {
        return converter.Convert(source, data, target, output);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool TWaveStreamAdapter::ConvertTo(const WaveFormatBlock& format, AudioConverter& converter) {
    if (HasFormat(format)) return true;
    if (!Valid()) return FailInvalid("cannot convert");
    const WaveFormatBlock source = *waveFormat_;
    std::vector<std::uint8_t> converted;
    bool done = false;
    {
        // A view into our own memory is fine: the result goes to a block of its own before the rewrite.
        LockedWaveData data;
        if (!ReadAudio(*this, data, false)) return false;
        const std::span<const std::uint8_t> audio = data.Data() != nullptr
                                                        ? std::span<const std::uint8_t>(data.Data(), data.Size())
                                                        : std::span<const std::uint8_t>();
        done = ConvertWithACM(converter, source, audio, format, converted);
        if (!done) {
            // No direct way: try through PCM with the source's channels and rate.
            WAVEFORMATEX wanted;
            wanted.wFormatTag = kWaveFormatPCM;
            wanted.nChannels = source.Record().nChannels;
            wanted.nSamplesPerSec = source.Record().nSamplesPerSec;
            WAVEFORMATEX pcm;
            if (converter.SuggestPCM(wanted, pcm)) {
                pcm.cbSize = 0;  // PCM carries no extra bytes
                const WaveFormatBlock between(pcm);
                std::vector<std::uint8_t> intermediate;
                done = ConvertWithACM(converter, source, audio, between, intermediate) &&
                       ConvertWithACM(converter, between, intermediate, format, converted);
            }
        }
        if (data.Locked()) UnlockData(data, false);
    }
    if (!done) {
        return Fail("cannot convert audio of format " + DescribeWaveFormat(source.Record()) + " to " +
                    DescribeWaveFormat(format.Record()));
    }
    return Rewrite(format, {converted});
}

}  // namespace tolm
