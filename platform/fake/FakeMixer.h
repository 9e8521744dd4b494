#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/AudioMixer.h"

namespace tolm {

// A control of a fake mixer line, as the test describes it.
struct FakeMixerControl {
    std::uint32_t type = MIXERCONTROL_CONTROLTYPE_VOLUME;
    std::uint32_t maximum = 0;
    std::vector<std::uint32_t> values;  // one for volume and mute, one per item for lists
    std::vector<std::string> items;     // list controls: item names in the list's own order

    static FakeMixerControl Volume(std::uint32_t maximum, std::uint32_t value);
    static FakeMixerControl Mute(bool muted);
    // Single-choice (MUX) and multiple-choice (MIXER) lists; the `selected` items hold 1.
    static FakeMixerControl Mux(std::vector<std::string> items, std::vector<std::size_t> selected);
    static FakeMixerControl Mix(std::vector<std::string> items, std::vector<std::size_t> selected);
};

struct FakeMixerLine {
    std::string name;
    std::vector<FakeMixerControl> controls;
};

struct FakeMixerDestination {
    FakeMixerLine line;
    std::vector<FakeMixerLine> sources;
};

struct FakeMixerLayout {
    std::string productName;
    std::vector<FakeMixerDestination> destinations;
};

// Calls of the mixer services that a test can make fail.
enum class FakeMixerCall : std::uint8_t { Caps, Open, LineInfo, ControlByType, GetValues, SetValues, ListTexts };
inline constexpr std::size_t kFakeMixerCallCount = 7;

// Deterministic in-memory mixer devices for unit tests. Line identifiers follow the usual scheme
// (0xFFFF0000 | destination for a destination line, source << 16 | destination for a source line, so the
// first source of the first destination has identifier 0); control identifiers count from 1 per device.
// A successful write of control values notifies every open device of that mixer, as a sound card does.
// Thread-safe; the service must outlive the devices it opened.
class FakeMixer final : public MixerService {
  public:
    // Adds a mixer device; its mixer id.
    unsigned AddDevice(const FakeMixerLayout& layout);

    unsigned DeviceCount() override;
    int GetCaps(unsigned mixerId, MixerCaps& caps) override;
    int Open(unsigned mixerId, MixerNotify notify, std::unique_ptr<MixerDevice>& device) override;

    // Identifier of the line (source -1: the destination line itself) and of its control of `type`; the
    // control's is 0 when the line has none.
    static std::uint32_t LineId(std::uint32_t destination, int source);
    std::uint32_t ControlId(unsigned mixerId, std::uint32_t destination, int source, std::uint32_t type) const;
    // The control's current values.
    std::vector<std::uint32_t> Values(unsigned mixerId, std::uint32_t controlId) const;

    // From now on `call` answers `code`; 0 lets it succeed again.
    void Fail(FakeMixerCall call, int code);

    // Notify every open device of the mixer, from the calling thread.
    void FireLineChange(unsigned mixerId, std::uint32_t lineId);
    void FireControlChange(unsigned mixerId, std::uint32_t controlId);

    int OpenCalls() const;    // successful opens so far
    int OpenDevices() const;  // devices open now
    int SetCalls() const;     // successful writes of control values

  private:
    friend class FakeOpenMixer;

    struct Control {
        MixerControlInfo info;
        std::vector<std::uint32_t> values;
        std::vector<std::string> items;
    };
    struct Line {
        MixerLineInfo info;
        std::vector<Control> controls;
    };
    struct Destination {
        Line line;
        std::vector<Line> sources;
    };
    struct Device {
        std::string productName;
        std::vector<Destination> destinations;
    };

    // The calls of an open device; the lock is taken inside.
    int LineInfoByDestination(unsigned mixerId, std::uint32_t destination, MixerLineInfo& line);
    int LineInfoBySource(unsigned mixerId, std::uint32_t destination, std::uint32_t source, MixerLineInfo& line);
    int ControlByType(unsigned mixerId, std::uint32_t lineId, std::uint32_t type, MixerControlInfo& control);
    int GetValues(unsigned mixerId, std::uint32_t controlId, std::vector<std::uint32_t>& values);
    int SetValues(unsigned mixerId, std::uint32_t controlId, const std::vector<std::uint32_t>& values);
    int ListTexts(unsigned mixerId, std::uint32_t controlId, std::vector<MixerListText>& items);
    void Close(std::uint64_t handle);
    void Notify(unsigned mixerId, std::uint32_t message, std::uint32_t id);

    // Under the lock.
    const Line* FindLine(unsigned mixerId, std::uint32_t lineId) const;
    Control* FindControl(unsigned mixerId, std::uint32_t controlId);
    const Control* FindControl(unsigned mixerId, std::uint32_t controlId) const;
    int Failure(FakeMixerCall call) const { return failures_[static_cast<std::size_t>(call)]; }

    struct OpenHandle {
        unsigned mixerId;
        MixerNotify notify;
    };

    mutable std::mutex mutex_;
    std::vector<Device> devices_;
    std::array<int, kFakeMixerCallCount> failures_{};
    std::map<std::uint64_t, OpenHandle> open_;
    std::uint64_t nextHandle_ = 1;
    int openCalls_ = 0;
    int setCalls_ = 0;
};

}  // namespace tolm
