#pragma once

// How the mixer names its lines and controls. Ids derive from the server's source index, so they stay the same
// while the source exists.

#include <cstdint>
#include <optional>

namespace tolm::pulse {

inline constexpr std::uint32_t kDestinationLineId = 0xFFFF0000;
inline constexpr std::uint32_t kSourceLineIdBase = 0x00010000;
inline constexpr std::uint32_t kMuxControlId = 1;

// Line and control words of the mixer records.
inline constexpr std::uint32_t kLineActive = 0x00000001;
inline constexpr std::uint32_t kLineIsSource = 0x80000000;
inline constexpr std::uint32_t kComponentDestinationWaveIn = 7;
inline constexpr std::uint32_t kComponentSourceWaveOut = 0x1008;  // a sink's monitor: what is being played
inline constexpr std::uint32_t kComponentSourceAnalog = 0x100A;
inline constexpr std::uint32_t kControlUniform = 0x1;
inline constexpr std::uint32_t kControlMultiple = 0x2;

constexpr std::uint32_t SourceLineId(std::uint32_t index) {
    return kSourceLineIdBase + index;
}
constexpr std::uint32_t VolumeControlId(std::uint32_t index) {
    return 2 * (index + 1);
}
constexpr std::uint32_t MuteControlId(std::uint32_t index) {
    return 2 * (index + 1) + 1;
}

constexpr std::optional<std::uint32_t> SourceIndexOfLine(std::uint32_t lineId) {
    if (lineId < kSourceLineIdBase || lineId == kDestinationLineId) return std::nullopt;
    return lineId - kSourceLineIdBase;
}

struct ControlRef {
    enum class Kind { Mux, Volume, Mute };
    Kind kind = Kind::Mux;
    std::uint32_t index = 0;  // the source's, for Volume and Mute
};

constexpr std::optional<ControlRef> DecodeControl(std::uint32_t controlId) {
    if (controlId == kMuxControlId) return ControlRef{};
    if (controlId < 2) return std::nullopt;
    return ControlRef{controlId % 2 ? ControlRef::Kind::Mute : ControlRef::Kind::Volume, controlId / 2 - 1};
}

}  // namespace tolm::pulse
