#pragma once

#include <pulse/channelmap.h>
#include <pulse/sample.h>

#include "platform/WaveTypes.h"

namespace tolm::pulse {

// The formats the wave input records: PCM with 8 (unsigned) or 16 bit (signed, little-endian) samples, 1 to 8
// channels, 1000 to 192000 samples per second, with the block align and byte rate those imply.
bool IsRecordableFormat(const WAVEFORMATEX& format);

// The server's sample format for a recordable format; the server converts from the source's own.
pa_sample_spec SampleSpecOf(const WAVEFORMATEX& format);

// Channels in the order wave files store them.
pa_channel_map ChannelMapOf(const WAVEFORMATEX& format);

// The byte that records nothing: 0x80 for unsigned 8-bit samples, 0 otherwise.
std::uint8_t SilenceByteOf(const WAVEFORMATEX& format);

}  // namespace tolm::pulse
