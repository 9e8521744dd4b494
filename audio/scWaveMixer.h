#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "platform/AudioMixer.h"

// Control of the sound card's mixer (unit scWaveMixer): one mixer device, one of its destinations, and that
// destination's line and source lines with their volume, mute and input selection controls.
//
// Everything runs on the thread that created the TAudioMixer, which must also destroy it. Change
// notifications of the device are posted to that thread's MessageQueue and raise the events while the
// thread serves its queue; a notification still queued when the mixer is destroyed, or one that belongs to
// a device closed since, raises nothing.
namespace tolm {

enum class TMixerControlType : std::uint8_t { mcVolume = 0, mcMute = 1, mcSelect = 2, mcMix = 3 };

inline constexpr int kMixerControlTypeCount = 4;

// The device's control type code for each TMixerControlType.
std::uint32_t MixerControlTypeCode(TMixerControlType type);

// A set of TMixerControlType.
class TMixerControls {
  public:
    constexpr TMixerControls() = default;
    constexpr TMixerControls(std::initializer_list<TMixerControlType> types) {
        for (TMixerControlType type : types) Add(type);
    }

    constexpr bool Has(TMixerControlType type) const { return (bits_ & Bit(type)) != 0; }
    constexpr void Add(TMixerControlType type) { bits_ = static_cast<std::uint8_t>(bits_ | Bit(type)); }
    constexpr bool Empty() const { return bits_ == 0; }

    friend constexpr bool operator==(TMixerControls, TMixerControls) = default;

  private:
    static constexpr std::uint8_t Bit(TMixerControlType type) {
        return static_cast<std::uint8_t>(1u << static_cast<unsigned>(type));
    }
    std::uint8_t bits_ = 0;
};

class MessageQueue;
class TAudioMixer;
class TAudioMixerLine;

using TMixerLineNotifyEvent = std::function<void(TAudioMixer& sender, TAudioMixerLine& line)>;
using TMixerControlNotifyEvent =
    std::function<void(TAudioMixer& sender, TAudioMixerLine& line, TMixerControlType controlType)>;

// The destination line (SourceIndex -1) or one of its source lines. Failures are reported through
// LastError(): the device's result code, MIXERR_INVALCONTROL (1025) when the line lacks the control, or
// MMSYSERR_INVALPARAM (11) for an input that cannot be matched.
class TAudioMixerLine {
  public:
    // Reads the line from the mixer's open device.
    TAudioMixerLine(TAudioMixer& mixer, int sourceIndex);
    TAudioMixerLine(const TAudioMixerLine&) = delete;
    TAudioMixerLine& operator=(const TAudioMixerLine&) = delete;

    int SourceIndex() const { return sourceIndex_; }
    TAudioMixer& Mixer() const { return *mixer_; }
    // The line's full name, at most 63 bytes.
    const std::string& Name() const { return lineInfo_.name; }
    const MixerLineInfo& LineInfo() const { return lineInfo_; }
    int LastError() const { return lastError_; }
    TMixerControls AvailableControls() const { return availableControls_; }
    // Meaningful only for members of AvailableControls().
    const MixerControlInfo& Controls(TMixerControlType type) const;

    // Percent of the volume control's maximum; -1 without a volume control or when it cannot be read.
    int Volume();
    // Clamps to 0..100.
    void SetVolume(int percent);
    // The source line that feeds this line through its input list (mcMix preferred over mcSelect), or -1.
    int SelectedLine();
    // Makes `sourceIndex` the one selected input, also on a multiple-choice list. Throws std::out_of_range
    // when the line has an input list and `sourceIndex` is not a source line of the mixer.
    void SetSelectedLine(int sourceIndex);
    // The type of this line's available control with identifier `controlId`.
    bool FindControl(std::uint32_t controlId, TMixerControlType& type) const;
    // Whether the device knows this line (the last Refresh succeeded).
    bool Known() const { return lineRead_; }
    // Re-reads the line and its controls: the destination line for -1, else that source line.
    void Refresh(int sourceIndex);

  private:
    // The input list control, mcMix before mcSelect; false (LastError 1025) when the line has neither.
    bool ListControl(TMixerControlType& type);
    // The list item's source line, matched by name (among equal names, by their order); -1 with LastError 1025
    // or 11 when there is none.
    int ItemToLineIndex(std::uint32_t item, TMixerControlType type);
    // The list item named like source line `sourceIndex` (among equal names, by their order), or -1.
    int LineToItemIndex(int sourceIndex, TMixerControlType type);
    // The list's item names, at most its number of items; false with the device's code in LastError.
    bool ReadItemNames(TMixerControlType type, std::vector<std::string>& names);

    int sourceIndex_ = -1;
    TAudioMixer* mixer_;
    MixerLineInfo lineInfo_;
    bool lineRead_ = false;  // the device answered the last Refresh
    int lastError_ = 0;
    TMixerControls availableControls_;
    std::array<MixerControlInfo, kMixerControlTypeCount> controls_{};
};

// One mixer device of `service` with one of its destinations. Device failures are not raised: a mixer that
// cannot be opened keeps its code in OpenResult() and its lines have no controls.
class TAudioMixer {
  public:
    // Without a service there are no mixer devices.
    explicit TAudioMixer(MixerService* service);
    ~TAudioMixer();
    TAudioMixer(const TAudioMixer&) = delete;
    TAudioMixer& operator=(const TAudioMixer&) = delete;

    unsigned MixerCount() const;
    std::uint32_t MixerID() const { return mixerId_; }
    // Opens mixer `id`; ignored when it is the current one or not below MixerCount().
    void SetMixerID(std::uint32_t id);
    std::uint32_t DestinationCount() const { return caps_.cDestinations; }
    std::uint32_t DestinationID() const { return destinationId_; }
    // Rebuilds the lines for destination `id`; a number not below DestinationCount() becomes 0.
    void SetDestinationID(std::uint32_t id);
    // The device's product name, at most 31 bytes.
    const std::string& MixerName() const { return caps_.productName; }
    // Opens the mixer of that name (compared ignoring ASCII case); unknown names change nothing.
    void SetMixerName(const std::string& name);
    const std::string& DestinationName() const;
    // Picks the destination of that name (compared ignoring ASCII case); unknown names change nothing.
    void SetDestinationName(const std::string& name);

    // The destination line's number of source lines.
    int LineCount() const;
    // Throws std::out_of_range ("List index out of bounds (N)") outside 0..LineCount()-1.
    TAudioMixerLine& Lines(int index);
    TAudioMixerLine& DestinationLine() { return *destinationLine_; }

    // Append the product name of every mixer device / the name of every destination; the number appended.
    int GetMixerNames(std::vector<std::string>& names) const;
    int GetDestinationNames(std::vector<std::string>& names) const;

    // Result of the last device open.
    int OpenResult() const { return openResult_; }

    TMixerLineNotifyEvent OnLineChange;
    TMixerControlNotifyEvent OnControlChange;

  private:
    friend class TAudioMixerLine;

    // Rebuilds the lines; unless `linesOnly`, first reopens the device MixerID().
    void Reopen(bool linesOnly);
    void OpenDevice();
    // A device notification, on the creating thread; `serial` names the device open it came from.
    void HandleNotification(std::uint64_t serial, std::uint32_t message, std::uint32_t id);
    // The open device, or none.
    MixerDevice* Device() const { return device_.get(); }

    MixerService* service_;
    std::unique_ptr<MixerDevice> device_;
    std::uint64_t openSerial_ = 0;
    std::uint32_t mixerId_ = 0;
    MixerCaps caps_;
    std::uint32_t destinationId_ = 0;
    std::vector<std::unique_ptr<TAudioMixerLine>> lines_;
    std::unique_ptr<TAudioMixerLine> destinationLine_;
    int openResult_ = 0;
    std::shared_ptr<MessageQueue> queue_;  // the creating thread's
    // Posted notifications hold it weakly: it is gone once the mixer is.
    std::shared_ptr<int> alive_;
};

// Longest names kept, in bytes: line, control and list item names; short names; product names.
inline constexpr std::size_t kMixerNameBytes = 63;
inline constexpr std::size_t kMixerShortNameBytes = 15;
inline constexpr std::size_t kMixerProductNameBytes = 31;

// Cuts `text` to at most `maxBytes` bytes without splitting a UTF-8 sequence.
std::string TruncateName(const std::string& text, std::size_t maxBytes);

}  // namespace tolm
