// TAudioMixer: opening a mixer device, choosing its destination and forwarding its notifications.
#include <algorithm>
#include <climits>
#include <stdexcept>

#include "audio/MessageQueue.h"
#include "audio/scWaveMixer.h"
#include "platform/WaveInput.h"

namespace tolm {

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
        return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
    });
}

// Position of `name` in `names`, ignoring case; -1 when absent.
int Find(const std::vector<std::string>& names, const std::string& name) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (SameIgnoringCase(names[i], name)) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

TAudioMixer::TAudioMixer(MixerService* service)
    : service_(service), queue_(MessageQueue::OfCurrentThread()), alive_(std::make_shared<int>(0)) {
    destinationLine_ = std::make_unique<TAudioMixerLine>(*this, -1);
    Reopen(false);
}

TAudioMixer::~TAudioMixer() {
    while (!lines_.empty()) lines_.pop_back();
    destinationLine_.reset();
    device_.reset();
}

unsigned TAudioMixer::MixerCount() const {
    return service_ != nullptr ? service_->DeviceCount() : 0;
}

void TAudioMixer::SetMixerID(std::uint32_t id) {
    if (id == mixerId_ || id >= MixerCount()) return;
    mixerId_ = id;
    Reopen(false);
}

void TAudioMixer::SetDestinationID(std::uint32_t id) {
    if (id == destinationId_) return;
    destinationId_ = id;
    Reopen(true);
}

const std::string& TAudioMixer::DestinationName() const {
    return destinationLine_->Name();
}

void TAudioMixer::SetMixerName(const std::string& name) {
    if (name == MixerName()) return;
    std::vector<std::string> names;
    GetMixerNames(names);
    const int found = Find(names, name);
    if (found >= 0) SetMixerID(static_cast<std::uint32_t>(found));
}

void TAudioMixer::SetDestinationName(const std::string& name) {
    if (name == DestinationName()) return;
    std::vector<std::string> names;
    GetDestinationNames(names);
    const int found = Find(names, name);
    if (found >= 0) SetDestinationID(static_cast<std::uint32_t>(found));
}

int TAudioMixer::LineCount() const {
    return static_cast<int>(std::min<std::uint32_t>(destinationLine_->LineInfo().cConnections, INT_MAX));
}

TAudioMixerLine& TAudioMixer::Lines(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= lines_.size()) {
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    }
    return *lines_[static_cast<std::size_t>(index)];
}

int TAudioMixer::GetMixerNames(std::vector<std::string>& names) const {
    const unsigned count = MixerCount();
    for (unsigned id = 0; id < count; ++id) {
        MixerCaps caps;
        const bool known = service_->GetCaps(id, caps) == MMSYSERR_NOERROR;
        names.push_back(known ? TruncateName(caps.productName, kMixerProductNameBytes) : std::string());
    }
    return static_cast<int>(count);
}

int TAudioMixer::GetDestinationNames(std::vector<std::string>& names) const {
    const std::uint32_t count = DestinationCount();
    for (std::uint32_t destination = 0; destination < count; ++destination) {
        MixerLineInfo info;
        const bool known = device_ && device_->GetLineInfoByDestination(destination, info) == MMSYSERR_NOERROR;
        names.push_back(known ? TruncateName(info.name, kMixerNameBytes) : std::string());
    }
    return static_cast<int>(count);
}

void TAudioMixer::Reopen(bool linesOnly) {
    while (!lines_.empty()) lines_.pop_back();
    if (!linesOnly) OpenDevice();
    if (destinationId_ >= DestinationCount()) destinationId_ = 0;
    destinationLine_->Refresh(-1);
    const int count = LineCount();
    for (int source = 0; source < count; ++source) lines_.push_back(std::make_unique<TAudioMixerLine>(*this, source));
}

void TAudioMixer::OpenDevice() {
    device_.reset();
    ++openSerial_;
    caps_ = MixerCaps{};
    if (service_ == nullptr) {
        openResult_ = MMSYSERR_BADDEVICEID;
        return;
    }
    MixerCaps caps;
    if (service_->GetCaps(mixerId_, caps) == MMSYSERR_NOERROR) {
        caps_.productName = TruncateName(caps.productName, kMixerProductNameBytes);
        caps_.cDestinations = caps.cDestinations;
    }
    // The device calls from a thread of its own: only queue the message there, and let the creating thread
    // find out whether this mixer, and this open of its device, still exist.
    MixerNotify notify = [queue = queue_, alive = std::weak_ptr<int>(alive_), serial = openSerial_, self = this](
                             std::uint32_t message, std::uint32_t id) {
        queue->Post([alive, serial, self, message, id] {
            if (const auto token = alive.lock()) self->HandleNotification(serial, message, id);
        });
    };
    std::unique_ptr<MixerDevice> device;
    openResult_ = service_->Open(mixerId_, std::move(notify), device);
    if (openResult_ == MMSYSERR_NOERROR && !device) openResult_ = MMSYSERR_ERROR;
    if (openResult_ == MMSYSERR_NOERROR) device_ = std::move(device);
}

void TAudioMixer::HandleNotification(std::uint64_t serial, std::uint32_t message, std::uint32_t id) {
    if (serial != openSerial_ || !device_) return;  // from a device closed since
    std::vector<TAudioMixerLine*> candidates{destinationLine_.get()};
    for (const auto& line : lines_) candidates.push_back(line.get());
    if (message == MM_MIXM_LINE_CHANGE) {
        for (TAudioMixerLine* line : candidates) {
            if (!line->Known() || line->LineInfo().dwLineID != id) continue;
            if (auto handler = OnLineChange) handler(*this, *line);
            return;
        }
    } else if (message == MM_MIXM_CONTROL_CHANGE) {
        for (TAudioMixerLine* line : candidates) {
            TMixerControlType type;
            if (!line->FindControl(id, type)) continue;
            if (auto handler = OnControlChange) handler(*this, *line, type);
            return;
        }
    }
}

}  // namespace tolm
