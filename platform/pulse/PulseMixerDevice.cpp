#include "platform/pulse/PulseMixerDevice.h"

#include <algorithm>
#include <utility>

#include "platform/WaveInput.h"
#include "platform/pulse/PulseErrors.h"
#include "platform/pulse/PulseMixerIds.h"

namespace tolm::pulse {
namespace {

constexpr std::size_t kShortNameBytes = 15;
constexpr std::size_t kNameBytes = 63;
constexpr std::uint32_t kVolumeMaximum = PA_VOLUME_NORM;

std::uint32_t ComponentOf(const SourceInfo& source) {
    return source.monitor ? kComponentSourceWaveOut : kComponentSourceAnalog;
}

void ReleaseOperation(pa_operation* operation) {
    // The answer arrives through the callback; nobody waits for it.
    if (operation) pa_operation_unref(operation);
}

}  // namespace

PulseMixerDevice::PulseMixerDevice(Key, std::shared_ptr<PulseConnection> connection,
                                   std::shared_ptr<SourceChoice> choice, MixerNotify notify)
    : connection_(std::move(connection)), choice_(std::move(choice)), notify_(std::move(notify)) {}

int PulseMixerDevice::Open(const std::string& clientName, std::shared_ptr<SourceChoice> choice, MixerNotify notify,
                           std::unique_ptr<MixerDevice>& device) {
    std::string problem;
    auto connection = PulseConnection::Open(clientName, problem);
    if (!connection) return MMSYSERR_NODRIVER;
    // Declared before the lock, so a failed device ends after the lock is released.
    auto opened = std::make_unique<PulseMixerDevice>(Key{}, connection, std::move(choice), std::move(notify));
    PulseConnection::Lock loop(*connection);
    int error = opened->Refresh();
    if (error == PA_OK) error = GetDefaultSourceName(*connection, opened->notifiedDefault_);
    if (error == PA_OK) error = opened->Subscribe();
    if (error != PA_OK) return MixerResultOf(error);
    device = std::move(opened);
    return MMSYSERR_NOERROR;
}

PulseMixerDevice::~PulseMixerDevice() {
    connection_.reset();
}

int PulseMixerDevice::Refresh() {
    std::vector<SourceInfo> sources;
    const int error = ListSources(*connection_, sources);
    if (error != PA_OK) return error;
    // Levels already reported stay as they were, so a change still pending in the event stream is not lost.
    for (const SourceInfo& source : sources) notified_.try_emplace(source.index, Levels{source.volume, source.mute});
    for (SourceInfo& source : sources) {
        source.description = ClipUtf8(source.description, kNameBytes);
    }
    lines_ = std::move(sources);
    return PA_OK;
}

int PulseMixerDevice::Subscribe() {
    pa_context_set_subscribe_callback(connection_->Context(), &OnEvent, this);
    PulseOutcome outcome;
    const auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SERVER);
    return connection_->AwaitSuccess(pa_context_subscribe(connection_->Context(), mask, &StoreContextSuccess, &outcome),
                                     outcome);
}

const SourceInfo* PulseMixerDevice::FindSource(std::uint32_t index) const {
    const auto found =
        std::find_if(lines_.begin(), lines_.end(), [index](const SourceInfo& s) { return s.index == index; });
    return found == lines_.end() ? nullptr : &*found;
}

int PulseMixerDevice::GetLineInfoByDestination(std::uint32_t destination, MixerLineInfo& line) {
    if (destination != 0) return MIXERR_INVALLINE;
    PulseConnection::Lock loop(*connection_);
    const int error = Refresh();
    if (error != PA_OK) return MixerResultOf(error);
    line = MixerLineInfo{};
    line.dwLineID = kDestinationLineId;
    line.fdwLine = kLineActive;
    line.dwComponentType = kComponentDestinationWaveIn;
    line.cChannels = 2;
    line.cConnections = static_cast<std::uint32_t>(lines_.size());
    line.cControls = 1;
    line.shortName = "Recording";
    line.name = "Recording Control";
    return MMSYSERR_NOERROR;
}

int PulseMixerDevice::GetLineInfoBySource(std::uint32_t destination, std::uint32_t source, MixerLineInfo& line) {
    PulseConnection::Lock loop(*connection_);
    if (destination != 0 || source >= lines_.size()) return MIXERR_INVALLINE;
    const SourceInfo& s = lines_[source];
    line = MixerLineInfo{};
    line.dwSource = source;
    line.dwLineID = SourceLineId(s.index);
    line.fdwLine = kLineActive | kLineIsSource;
    line.dwComponentType = ComponentOf(s);
    line.cChannels = s.channels;
    line.cControls = 2;
    line.shortName = ClipUtf8(s.description, kShortNameBytes);
    line.name = s.description;
    return MMSYSERR_NOERROR;
}

int PulseMixerDevice::GetControlByType(std::uint32_t lineId, std::uint32_t controlType, MixerControlInfo& control) {
    PulseConnection::Lock loop(*connection_);
    control = MixerControlInfo{};
    control.dwControlType = controlType;
    control.fdwControl = kControlUniform;
    if (lineId == kDestinationLineId) {
        if (controlType != MIXERCONTROL_CONTROLTYPE_MUX) return MIXERR_INVALCONTROL;
        const auto items = static_cast<std::uint32_t>(lines_.size());
        control.dwControlID = kMuxControlId;
        control.fdwControl |= kControlMultiple;
        control.cMultipleItems = items;
        control.shortName = "Source";
        control.name = "Recording Source";
        control.dwMaximum = items > 0 ? items - 1 : 0;
        return MMSYSERR_NOERROR;
    }
    const auto index = SourceIndexOfLine(lineId);
    if (!index || !FindSource(*index)) return MIXERR_INVALLINE;
    if (controlType == MIXERCONTROL_CONTROLTYPE_VOLUME) {
        control.dwControlID = VolumeControlId(*index);
        control.shortName = control.name = "Volume";
        control.dwMaximum = kVolumeMaximum;
        return MMSYSERR_NOERROR;
    }
    if (controlType == MIXERCONTROL_CONTROLTYPE_MUTE) {
        control.dwControlID = MuteControlId(*index);
        control.shortName = control.name = "Mute";
        control.dwMaximum = 1;
        return MMSYSERR_NOERROR;
    }
    return MIXERR_INVALCONTROL;
}

int PulseMixerDevice::GetControlValues(std::uint32_t controlId, std::vector<std::uint32_t>& values) {
    PulseConnection::Lock loop(*connection_);
    const auto control = DecodeControl(controlId);
    if (!control) return MIXERR_INVALCONTROL;
    if (control->kind == ControlRef::Kind::Mux) {
        std::string recorded;
        const int error = choice_->Recorded(*connection_, lines_, recorded);
        if (error != PA_OK) return MixerResultOf(error);
        values.assign(lines_.size(), 0);
        for (std::size_t i = 0; i < lines_.size(); ++i) values[i] = lines_[i].name == recorded ? 1 : 0;
        return MMSYSERR_NOERROR;
    }
    if (!FindSource(control->index)) return MIXERR_INVALCONTROL;
    SourceInfo now;
    const int error = GetSource(*connection_, control->index, now);
    if (error != PA_OK) return MixerResultOf(error);
    // A boosted source reads as the maximum, so readers stay within the control's bounds.
    values.assign(1, control->kind == ControlRef::Kind::Mute ? (now.mute ? 1u : 0u)
                                                             : std::min<std::uint32_t>(now.volume, kVolumeMaximum));
    return MMSYSERR_NOERROR;
}

int PulseMixerDevice::SetControlValues(std::uint32_t controlId, const std::vector<std::uint32_t>& values) {
    PulseConnection::Lock loop(*connection_);
    const auto control = DecodeControl(controlId);
    if (!control) return MIXERR_INVALCONTROL;
    if (control->kind == ControlRef::Kind::Mux) {
        if (values.size() != lines_.size()) return MMSYSERR_INVALPARAM;
        // One source records at a time.
        if (std::count_if(values.begin(), values.end(), [](std::uint32_t v) { return v != 0; }) != 1)
            return MIXERR_INVALVALUE;
        const auto chosen = std::find_if(values.begin(), values.end(), [](std::uint32_t v) { return v != 0; });
        choice_->Choose(lines_[static_cast<std::size_t>(chosen - values.begin())].name);
        connection_->Post([this] { Notify(MM_MIXM_CONTROL_CHANGE, kMuxControlId); });
        return MMSYSERR_NOERROR;
    }
    const SourceInfo* source = FindSource(control->index);
    if (!source) return MIXERR_INVALCONTROL;
    if (values.size() != 1) return MMSYSERR_INVALPARAM;
    const bool mute = control->kind == ControlRef::Kind::Mute;
    if (values[0] > (mute ? 1u : kVolumeMaximum)) return MIXERR_INVALVALUE;
    return MixerResultOf(SetSourceValue(*source, mute, values[0]));
}

int PulseMixerDevice::SetSourceValue(const SourceInfo& source, bool mute, std::uint32_t value) {
    pa_context* context = connection_->Context();
    PulseOutcome outcome;
    if (mute) {
        return connection_->AwaitSuccess(
            pa_context_set_source_mute_by_index(context, source.index, value != 0, &StoreContextSuccess, &outcome),
            outcome);
    }
    pa_cvolume volume;
    pa_cvolume_set(&volume, source.channels, value);
    return connection_->AwaitSuccess(
        pa_context_set_source_volume_by_index(context, source.index, &volume, &StoreContextSuccess, &outcome), outcome);
}

int PulseMixerDevice::GetListTexts(std::uint32_t controlId, std::vector<MixerListText>& items) {
    PulseConnection::Lock loop(*connection_);
    if (controlId != kMuxControlId) return MIXERR_INVALCONTROL;
    items.clear();
    for (const SourceInfo& source : lines_)
        items.push_back(MixerListText{SourceLineId(source.index), ComponentOf(source), source.description});
    return MMSYSERR_NOERROR;
}

void PulseMixerDevice::Notify(std::uint32_t message, std::uint32_t id) const {
    if (notify_) notify_(message, id);
}

void PulseMixerDevice::OnEvent(pa_context* context, pa_subscription_event_type_t type, std::uint32_t index,
                               void* self) {
    auto* mixer = static_cast<PulseMixerDevice*>(self);
    const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
    if (facility == PA_SUBSCRIPTION_EVENT_SOURCE) {
        if (kind == PA_SUBSCRIPTION_EVENT_CHANGE) {
            // The event does not say what changed; the source's levels tell.
            ReleaseOperation(pa_context_get_source_info_by_index(context, index, &OnChangedSource, self));
            return;
        }
        if (kind == PA_SUBSCRIPTION_EVENT_REMOVE) mixer->notified_.erase(index);
        mixer->Notify(MM_MIXM_LINE_CHANGE, kDestinationLineId);
    } else if (facility == PA_SUBSCRIPTION_EVENT_SERVER && kind == PA_SUBSCRIPTION_EVENT_CHANGE) {
        ReleaseOperation(pa_context_get_server_info(context, &OnChangedServer, self));
    }
}

void PulseMixerDevice::OnChangedSource(pa_context*, const pa_source_info* info, int eol, void* self) {
    if (eol != 0 || info == nullptr) return;
    auto* mixer = static_cast<PulseMixerDevice*>(self);
    const SourceInfo now = DescribeSource(*info);
    const auto [known, added] = mixer->notified_.try_emplace(now.index, Levels{now.volume, now.mute});
    if (added) return;  // a source that came after the last refresh: its LINE_CHANGE told already
    Levels& last = known->second;
    if (last.volume != now.volume) mixer->Notify(MM_MIXM_CONTROL_CHANGE, VolumeControlId(now.index));
    if (last.mute != now.mute) mixer->Notify(MM_MIXM_CONTROL_CHANGE, MuteControlId(now.index));
    last = Levels{now.volume, now.mute};
}

void PulseMixerDevice::OnChangedServer(pa_context*, const pa_server_info* info, void* self) {
    if (info == nullptr) return;
    auto* mixer = static_cast<PulseMixerDevice*>(self);
    const std::string now = info->default_source_name ? info->default_source_name : "";
    if (now == mixer->notifiedDefault_) return;
    mixer->notifiedDefault_ = now;
    mixer->Notify(MM_MIXM_CONTROL_CHANGE, kMuxControlId);
}

}  // namespace tolm::pulse
