#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/pulse/PulseConnection.h"

namespace tolm::pulse {

// What the backends need to know of one server source.
struct SourceInfo {
    std::uint32_t index = 0;  // the server's number, stable while the source exists
    std::string name;         // "alsa_input.pci-0000_00_1b.0.analog-stereo"
    std::string description;  // "Built-in Audio Analog Stereo"
    unsigned channels = 0;
    std::uint32_t volume = 0;  // average of the channel volumes; PA_VOLUME_NORM (65536) is 100 %
    bool mute = false;
    bool monitor = false;  // records what a sink plays
};

SourceInfo DescribeSource(const pa_source_info& info);

// The calls below need the loop locked and return PA_OK or a PA_ERR_* number.
// Every source, in index order.
int ListSources(PulseConnection& connection, std::vector<SourceInfo>& sources);
// One source; PA_ERR_NOENTITY when it is gone.
int GetSource(PulseConnection& connection, std::uint32_t index, SourceInfo& source);
// The name of the server's default source (empty when the server has none).
int GetDefaultSourceName(PulseConnection& connection, std::string& name);

// At most `maxBytes` bytes of UTF-8 text, never cutting a character in two.
std::string ClipUtf8(const std::string& text, std::size_t maxBytes);

}  // namespace tolm::pulse
