#include "platform/fake/FakeMixer.h"

#include "platform/WaveInput.h"

namespace tolm {

namespace {

constexpr std::uint32_t kListControlFlags = 0x3;  // uniform, one value per item

bool IsList(std::uint32_t type) {
    return type == MIXERCONTROL_CONTROLTYPE_MUX || type == MIXERCONTROL_CONTROLTYPE_MIXER;
}

std::string ControlName(std::uint32_t type) {
    switch (type) {
        case MIXERCONTROL_CONTROLTYPE_VOLUME:
            return "Volume";
        case MIXERCONTROL_CONTROLTYPE_MUTE:
            return "Mute";
        case MIXERCONTROL_CONTROLTYPE_MUX:
            return "Mux";
        case MIXERCONTROL_CONTROLTYPE_MIXER:
            return "Mixer";
        default:
            return "Control";
    }
}

FakeMixerControl List(std::uint32_t type, std::vector<std::string> items, const std::vector<std::size_t>& selected) {
    FakeMixerControl control;
    control.type = type;
    control.maximum = 1;
    control.values.assign(items.size(), 0);
    for (std::size_t item : selected) control.values.at(item) = 1;
    control.items = std::move(items);
    return control;
}

}  // namespace

FakeMixerControl FakeMixerControl::Volume(std::uint32_t maximum, std::uint32_t value) {
    return FakeMixerControl{MIXERCONTROL_CONTROLTYPE_VOLUME, maximum, {value}, {}};
}

FakeMixerControl FakeMixerControl::Mute(bool muted) {
    return FakeMixerControl{MIXERCONTROL_CONTROLTYPE_MUTE, 1, {muted ? 1u : 0u}, {}};
}

FakeMixerControl FakeMixerControl::Mux(std::vector<std::string> items, std::vector<std::size_t> selected) {
    return List(MIXERCONTROL_CONTROLTYPE_MUX, std::move(items), selected);
}

FakeMixerControl FakeMixerControl::Mix(std::vector<std::string> items, std::vector<std::size_t> selected) {
    return List(MIXERCONTROL_CONTROLTYPE_MIXER, std::move(items), selected);
}

// A device opened by FakeMixer::Open; every call goes back to the service.
class FakeOpenMixer final : public MixerDevice {
  public:
    FakeOpenMixer(FakeMixer& service, unsigned mixerId, std::uint64_t handle)
        : service_(service), mixerId_(mixerId), handle_(handle) {}
    ~FakeOpenMixer() override { service_.Close(handle_); }

    int GetLineInfoByDestination(std::uint32_t destination, MixerLineInfo& line) override {
        return service_.LineInfoByDestination(mixerId_, destination, line);
    }
    int GetLineInfoBySource(std::uint32_t destination, std::uint32_t source, MixerLineInfo& line) override {
        return service_.LineInfoBySource(mixerId_, destination, source, line);
    }
    int GetControlByType(std::uint32_t lineId, std::uint32_t controlType, MixerControlInfo& control) override {
        return service_.ControlByType(mixerId_, lineId, controlType, control);
    }
    int GetControlValues(std::uint32_t controlId, std::vector<std::uint32_t>& values) override {
        return service_.GetValues(mixerId_, controlId, values);
    }
    int SetControlValues(std::uint32_t controlId, const std::vector<std::uint32_t>& values) override {
        return service_.SetValues(mixerId_, controlId, values);
    }
    int GetListTexts(std::uint32_t controlId, std::vector<MixerListText>& items) override {
        return service_.ListTexts(mixerId_, controlId, items);
    }

  private:
    FakeMixer& service_;
    unsigned mixerId_;
    std::uint64_t handle_;
};

std::uint32_t FakeMixer::LineId(std::uint32_t destination, int source) {
    if (source < 0) return 0xFFFF0000u | destination;
    return (static_cast<std::uint32_t>(source) << 16) | destination;
}

unsigned FakeMixer::AddDevice(const FakeMixerLayout& layout) {
    std::lock_guard lock(mutex_);
    Device device;
    device.productName = layout.productName;
    std::uint32_t nextControl = 1;
    auto build = [&nextControl](const FakeMixerLine& from, std::uint32_t destination, int source) {
        Line line;
        line.info.dwDestination = destination;
        line.info.dwSource = source < 0 ? 0 : static_cast<std::uint32_t>(source);
        line.info.dwLineID = LineId(destination, source);
        line.info.fdwLine = 1;  // active
        line.info.cChannels = 2;
        line.info.cControls = static_cast<std::uint32_t>(from.controls.size());
        line.info.shortName = from.name.substr(0, 15);
        line.info.name = from.name;
        for (const FakeMixerControl& c : from.controls) {
            Control control;
            control.info.dwControlID = nextControl++;
            control.info.dwControlType = c.type;
            control.info.fdwControl = IsList(c.type) ? kListControlFlags : 1;
            control.info.cMultipleItems = IsList(c.type) ? static_cast<std::uint32_t>(c.items.size()) : 0;
            control.info.name = ControlName(c.type);
            control.info.shortName = control.info.name;
            control.info.dwMaximum = c.maximum;
            control.values = c.values;
            control.items = c.items;
            line.controls.push_back(std::move(control));
        }
        return line;
    };
    for (std::uint32_t d = 0; d < layout.destinations.size(); ++d) {
        const FakeMixerDestination& from = layout.destinations[d];
        Destination destination;
        destination.line = build(from.line, d, -1);
        destination.line.info.cConnections = static_cast<std::uint32_t>(from.sources.size());
        for (std::size_t s = 0; s < from.sources.size(); ++s) {
            destination.sources.push_back(build(from.sources[s], d, static_cast<int>(s)));
        }
        device.destinations.push_back(std::move(destination));
    }
    devices_.push_back(std::move(device));
    return static_cast<unsigned>(devices_.size() - 1);
}

unsigned FakeMixer::DeviceCount() {
    std::lock_guard lock(mutex_);
    return static_cast<unsigned>(devices_.size());
}

int FakeMixer::GetCaps(unsigned mixerId, MixerCaps& caps) {
    std::lock_guard lock(mutex_);
    if (Failure(FakeMixerCall::Caps) != 0) return Failure(FakeMixerCall::Caps);
    if (mixerId >= devices_.size()) return MMSYSERR_BADDEVICEID;
    caps.productName = devices_[mixerId].productName;
    caps.cDestinations = static_cast<std::uint32_t>(devices_[mixerId].destinations.size());
    return MMSYSERR_NOERROR;
}

int FakeMixer::Open(unsigned mixerId, MixerNotify notify, std::unique_ptr<MixerDevice>& device) {
    std::lock_guard lock(mutex_);
    if (Failure(FakeMixerCall::Open) != 0) return Failure(FakeMixerCall::Open);
    if (mixerId >= devices_.size()) return MMSYSERR_BADDEVICEID;
    const std::uint64_t handle = nextHandle_++;
    open_[handle] = OpenHandle{mixerId, std::move(notify)};
    ++openCalls_;
    device = std::make_unique<FakeOpenMixer>(*this, mixerId, handle);
    return MMSYSERR_NOERROR;
}

void FakeMixer::Close(std::uint64_t handle) {
    std::lock_guard lock(mutex_);
    open_.erase(handle);
}

int FakeMixer::LineInfoByDestination(unsigned mixerId, std::uint32_t destination, MixerLineInfo& line) {
    std::lock_guard lock(mutex_);
    if (Failure(FakeMixerCall::LineInfo) != 0) return Failure(FakeMixerCall::LineInfo);
    const Device& device = devices_.at(mixerId);
    if (destination >= device.destinations.size()) return MIXERR_INVALLINE;
    line = device.destinations[destination].line.info;
    return MMSYSERR_NOERROR;
}

int FakeMixer::LineInfoBySource(unsigned mixerId, std::uint32_t destination, std::uint32_t source,
                                MixerLineInfo& line) {
    std::lock_guard lock(mutex_);
    if (Failure(FakeMixerCall::LineInfo) != 0) return Failure(FakeMixerCall::LineInfo);
    const Device& device = devices_.at(mixerId);
    if (destination >= device.destinations.size()) return MIXERR_INVALLINE;
    const auto& sources = device.destinations[destination].sources;
    if (source >= sources.size()) return MIXERR_INVALLINE;
    line = sources[source].info;
    return MMSYSERR_NOERROR;
}

int FakeMixer::ControlByType(unsigned mixerId, std::uint32_t lineId, std::uint32_t type, MixerControlInfo& control) {
    std::lock_guard lock(mutex_);
    if (Failure(FakeMixerCall::ControlByType) != 0) return Failure(FakeMixerCall::ControlByType);
    const Line* line = FindLine(mixerId, lineId);
    if (line == nullptr) return MIXERR_INVALLINE;
    for (const Control& c : line->controls) {
        if (c.info.dwControlType != type) continue;
        control = c.info;
        return MMSYSERR_NOERROR;
    }
    return MIXERR_INVALCONTROL;
}

int FakeMixer::GetValues(unsigned mixerId, std::uint32_t controlId, std::vector<std::uint32_t>& values) {
    std::lock_guard lock(mutex_);
    if (Failure(FakeMixerCall::GetValues) != 0) return Failure(FakeMixerCall::GetValues);
    const Control* control = FindControl(mixerId, controlId);
    if (control == nullptr) return MIXERR_INVALCONTROL;
    values = control->values;
    return MMSYSERR_NOERROR;
}

int FakeMixer::SetValues(unsigned mixerId, std::uint32_t controlId, const std::vector<std::uint32_t>& values) {
    {
        std::lock_guard lock(mutex_);
        if (Failure(FakeMixerCall::SetValues) != 0) return Failure(FakeMixerCall::SetValues);
        Control* control = FindControl(mixerId, controlId);
        if (control == nullptr) return MIXERR_INVALCONTROL;
        if (values.size() != control->values.size()) return MMSYSERR_INVALPARAM;
        for (std::uint32_t v : values) {
            if (v > control->info.dwMaximum) return MIXERR_INVALVALUE;
        }
        control->values = values;
        ++setCalls_;
    }
    Notify(mixerId, MM_MIXM_CONTROL_CHANGE, controlId);
    return MMSYSERR_NOERROR;
}

int FakeMixer::ListTexts(unsigned mixerId, std::uint32_t controlId, std::vector<MixerListText>& items) {
    std::lock_guard lock(mutex_);
    if (Failure(FakeMixerCall::ListTexts) != 0) return Failure(FakeMixerCall::ListTexts);
    const Control* control = FindControl(mixerId, controlId);
    if (control == nullptr || !IsList(control->info.dwControlType)) return MIXERR_INVALCONTROL;
    items.clear();
    for (const std::string& name : control->items) items.push_back(MixerListText{0, 0, name});
    return MMSYSERR_NOERROR;
}

void FakeMixer::Notify(unsigned mixerId, std::uint32_t message, std::uint32_t id) {
    std::vector<MixerNotify> targets;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [handle, open] : open_) {
            if (open.mixerId == mixerId && open.notify) targets.push_back(open.notify);
        }
    }
    // Outside the lock: a receiver may call back into the service.
    for (const MixerNotify& notify : targets) notify(message, id);
}

void FakeMixer::FireLineChange(unsigned mixerId, std::uint32_t lineId) {
    Notify(mixerId, MM_MIXM_LINE_CHANGE, lineId);
}

void FakeMixer::FireControlChange(unsigned mixerId, std::uint32_t controlId) {
    Notify(mixerId, MM_MIXM_CONTROL_CHANGE, controlId);
}

std::uint32_t FakeMixer::ControlId(unsigned mixerId, std::uint32_t destination, int source, std::uint32_t type) const {
    std::lock_guard lock(mutex_);
    const Line* line = FindLine(mixerId, LineId(destination, source));
    if (line == nullptr) return 0;
    for (const Control& c : line->controls) {
        if (c.info.dwControlType == type) return c.info.dwControlID;
    }
    return 0;
}

std::vector<std::uint32_t> FakeMixer::Values(unsigned mixerId, std::uint32_t controlId) const {
    std::lock_guard lock(mutex_);
    const Control* control = FindControl(mixerId, controlId);
    return control != nullptr ? control->values : std::vector<std::uint32_t>{};
}

void FakeMixer::Fail(FakeMixerCall call, int code) {
    std::lock_guard lock(mutex_);
    failures_[static_cast<std::size_t>(call)] = code;
}

int FakeMixer::OpenCalls() const {
    std::lock_guard lock(mutex_);
    return openCalls_;
}

int FakeMixer::OpenDevices() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(open_.size());
}

int FakeMixer::SetCalls() const {
    std::lock_guard lock(mutex_);
    return setCalls_;
}

const FakeMixer::Line* FakeMixer::FindLine(unsigned mixerId, std::uint32_t lineId) const {
    if (mixerId >= devices_.size()) return nullptr;
    for (const Destination& d : devices_[mixerId].destinations) {
        if (d.line.info.dwLineID == lineId) return &d.line;
        for (const Line& s : d.sources) {
            if (s.info.dwLineID == lineId) return &s;
        }
    }
    return nullptr;
}

const FakeMixer::Control* FakeMixer::FindControl(unsigned mixerId, std::uint32_t controlId) const {
    if (mixerId >= devices_.size()) return nullptr;
    auto inLine = [controlId](const Line& line) -> const Control* {
        for (const Control& c : line.controls) {
            if (c.info.dwControlID == controlId) return &c;
        }
        return nullptr;
    };
    for (const Destination& d : devices_[mixerId].destinations) {
        if (const Control* c = inLine(d.line)) return c;
        for (const Line& s : d.sources) {
            if (const Control* c = inLine(s)) return c;
        }
    }
    return nullptr;
}

FakeMixer::Control* FakeMixer::FindControl(unsigned mixerId, std::uint32_t controlId) {
    return const_cast<Control*>(static_cast<const FakeMixer*>(this)->FindControl(mixerId, controlId));
}

}  // namespace tolm
