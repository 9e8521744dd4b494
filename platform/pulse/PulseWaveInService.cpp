#include "platform/pulse/PulseWaveInService.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/pulse/PulseWaveFormat.h"
#include "platform/pulse/PulseWaveInDevice.h"

namespace tolm::pulse {
namespace {

// Every one of the twelve standard formats: the server converts to whatever is asked.
constexpr std::uint32_t kAllStandardFormats = 0x0FFF;
constexpr std::size_t kProductNameBytes = 31;

}  // namespace

PulseWaveInService::PulseWaveInService(std::string clientName, std::shared_ptr<const SourceChoice> choice)
    : connection_(std::move(clientName)), choice_(std::move(choice)) {}

std::shared_ptr<PulseConnection> PulseWaveInService::Connection() {
    std::string problem;
    auto connection = connection_.Get(problem);
    if (!connection) problems_->Set(problem);
    return connection;
}

int PulseWaveInService::FindSource(PulseConnection& connection, int deviceId, SourceInfo& source) {
    if (deviceId < WAVE_MAPPER) return MMSYSERR_BADDEVICEID;
    std::vector<SourceInfo> sources;
    std::string recorded;
    int error = ListSources(connection, sources);
    if (error == PA_OK) error = choice_->Recorded(connection, sources, recorded);
    if (error != PA_OK) {
        problems_->Set(pa_strerror(error));
        return WaveResultOf(error);
    }
    const auto isRecorded = [&recorded](const SourceInfo& s) { return s.name == recorded; };
    if (deviceId <= 0) {
        const auto found = std::find_if(sources.begin(), sources.end(), isRecorded);
        if (found == sources.end()) return MMSYSERR_BADDEVICEID;
        source = *found;
        return MMSYSERR_NOERROR;
    }
    sources.erase(std::remove_if(sources.begin(), sources.end(), isRecorded), sources.end());
    if (static_cast<std::size_t>(deviceId) > sources.size()) return MMSYSERR_BADDEVICEID;
    source = sources[static_cast<std::size_t>(deviceId) - 1];
    return MMSYSERR_NOERROR;
}

unsigned PulseWaveInService::DeviceCount() {
    const auto connection = Connection();
    if (!connection) return 0;
    PulseConnection::Lock loop(*connection);
    std::vector<SourceInfo> sources;
    const int error = ListSources(*connection, sources);
    if (error != PA_OK) {
        problems_->Set(pa_strerror(error));
        return 0;
    }
    return static_cast<unsigned>(sources.size());
}

int PulseWaveInService::GetCaps(int deviceId, WaveInCaps& caps) {
    const auto connection = Connection();
    if (!connection) return MMSYSERR_NODRIVER;
    PulseConnection::Lock loop(*connection);
    SourceInfo source;
    const int result = FindSource(*connection, deviceId, source);
    if (result != MMSYSERR_NOERROR) return result;
    caps.productName = ClipUtf8(source.description, kProductNameBytes);
    caps.dwFormats = kAllStandardFormats;
    caps.wChannels = static_cast<std::uint16_t>(source.channels);
    return MMSYSERR_NOERROR;
}

int PulseWaveInService::QueryFormat(int deviceId, const WaveFormatBlock& format) {
    const auto connection = Connection();
    if (!connection) return MMSYSERR_NODRIVER;
    PulseConnection::Lock loop(*connection);
    SourceInfo source;
    const int result = FindSource(*connection, deviceId, source);
    if (result != MMSYSERR_NOERROR) return result;
    return IsRecordableFormat(format.Record()) ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
}

int PulseWaveInService::Open(int deviceId, const WaveFormatBlock& format, WaveInCallback callback,
                             std::unique_ptr<WaveInDevice>& device) {
    const auto connection = Connection();
    if (!connection) return MMSYSERR_NODRIVER;
    SourceInfo source;
    {
        PulseConnection::Lock loop(*connection);
        const int result = FindSource(*connection, deviceId, source);
        if (result != MMSYSERR_NOERROR) return result;
    }
    if (!IsRecordableFormat(format.Record())) return WAVERR_BADFORMAT;
    return PulseWaveInDevice::Open(connection, problems_, source.name, format.Record(), std::move(callback), device);
}

std::string PulseWaveInService::ErrorText(int code) {
    return WaveErrorText(code, problems_->Get());
}

}  // namespace tolm::pulse
