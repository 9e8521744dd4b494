#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tolm {

// Result codes of the mixer layer besides the MMSYSERR_* codes of WaveInput.h.
inline constexpr int MIXERR_INVALLINE = 1024;
inline constexpr int MIXERR_INVALCONTROL = 1025;
inline constexpr int MIXERR_INVALVALUE = 1026;

// Control types a line may carry.
inline constexpr std::uint32_t MIXERCONTROL_CONTROLTYPE_VOLUME = 0x50030001;
inline constexpr std::uint32_t MIXERCONTROL_CONTROLTYPE_MUTE = 0x20010002;
inline constexpr std::uint32_t MIXERCONTROL_CONTROLTYPE_MUX = 0x70010001;
inline constexpr std::uint32_t MIXERCONTROL_CONTROLTYPE_MIXER = 0x71010001;

// Notifications of an open mixer.
inline constexpr std::uint32_t MM_MIXM_LINE_CHANGE = 0x3D0;
inline constexpr std::uint32_t MM_MIXM_CONTROL_CHANGE = 0x3D1;

struct MixerCaps {
    std::string productName;  // at most 31 characters
    std::uint32_t cDestinations = 0;
};

struct MixerLineInfo {
    std::uint32_t dwDestination = 0;
    std::uint32_t dwSource = 0;
    std::uint32_t dwLineID = 0;
    std::uint32_t fdwLine = 0;
    std::uint32_t dwComponentType = 0;
    std::uint32_t cChannels = 0;
    std::uint32_t cConnections = 0;  // source lines of a destination
    std::uint32_t cControls = 0;
    std::string shortName;  // at most 15 characters
    std::string name;       // at most 63 characters
};

struct MixerControlInfo {
    std::uint32_t dwControlID = 0;
    std::uint32_t dwControlType = 0;
    std::uint32_t fdwControl = 0;
    std::uint32_t cMultipleItems = 0;  // list controls: one item per selectable source
    std::string shortName;
    std::string name;
    std::uint32_t dwMinimum = 0;
    std::uint32_t dwMaximum = 0;
};

// One item of a list control.
struct MixerListText {
    std::uint32_t dwParam1 = 0;
    std::uint32_t dwParam2 = 0;
    std::string name;  // at most 63 characters
};

// An open mixer device. Every call returns a result code.
class MixerDevice {
  public:
    virtual ~MixerDevice() = default;

    virtual int GetLineInfoByDestination(std::uint32_t destination, MixerLineInfo& line) = 0;
    virtual int GetLineInfoBySource(std::uint32_t destination, std::uint32_t source, MixerLineInfo& line) = 0;
    virtual int GetControlByType(std::uint32_t lineId, std::uint32_t controlType, MixerControlInfo& control) = 0;
    // Volume-like controls: one value for all channels together. List controls: one value (0 or 1) per item.
    virtual int GetControlValues(std::uint32_t controlId, std::vector<std::uint32_t>& values) = 0;
    virtual int SetControlValues(std::uint32_t controlId, const std::vector<std::uint32_t>& values) = 0;
    virtual int GetListTexts(std::uint32_t controlId, std::vector<MixerListText>& items) = 0;
};

// Called on a thread of the mixer's own with MM_MIXM_LINE_CHANGE (a line id) or MM_MIXM_CONTROL_CHANGE
// (a control id); it must only queue the notification and return.
using MixerNotify = std::function<void(std::uint32_t message, std::uint32_t id)>;

// The machine's mixer devices. Without a sound server there are none.
class MixerService {
  public:
    virtual ~MixerService() = default;

    virtual unsigned DeviceCount() = 0;
    virtual int GetCaps(unsigned mixerId, MixerCaps& caps) = 0;
    virtual int Open(unsigned mixerId, MixerNotify notify, std::unique_ptr<MixerDevice>& device) = 0;
};

}  // namespace tolm
