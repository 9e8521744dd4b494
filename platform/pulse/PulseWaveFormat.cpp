#include "platform/pulse/PulseWaveFormat.h"

namespace tolm::pulse {

bool IsRecordableFormat(const WAVEFORMATEX& format) {
    if (format.wFormatTag != kWaveFormatPCM) return false;
    if (format.wBitsPerSample != 8 && format.wBitsPerSample != 16) return false;
    if (format.nChannels < 1 || format.nChannels > 8) return false;
    if (format.nSamplesPerSec < 1000 || format.nSamplesPerSec > 192000) return false;
    const unsigned blockAlign = format.nChannels * (format.wBitsPerSample / 8u);
    return format.nBlockAlign == blockAlign && format.nAvgBytesPerSec == format.nSamplesPerSec * blockAlign;
}

pa_sample_spec SampleSpecOf(const WAVEFORMATEX& format) {
    pa_sample_spec sample{};
    sample.format = format.wBitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
    sample.rate = format.nSamplesPerSec;
    sample.channels = static_cast<std::uint8_t>(format.nChannels);
    return sample;
}

pa_channel_map ChannelMapOf(const WAVEFORMATEX& format) {
    pa_channel_map map;
    pa_channel_map_init_extend(&map, format.nChannels, PA_CHANNEL_MAP_WAVEEX);
    return map;
}

std::uint8_t SilenceByteOf(const WAVEFORMATEX& format) {
    return format.wBitsPerSample == 8 ? 0x80 : 0x00;
}

}  // namespace tolm::pulse
