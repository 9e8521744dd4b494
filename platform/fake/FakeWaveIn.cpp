#include "platform/fake/FakeWaveIn.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>

namespace tolm {

struct FakeWaveInState {
    struct Failure {
        int code = 0;
        int remaining = -1;
    };

    mutable std::mutex mutex;
    std::condition_variable changed;
    unsigned deviceCount = 1;
    WaveInCaps caps{"Fake Wave In", 0x0FFF, 2};
    std::vector<WAVEFORMATEX> supported;
    std::map<FakeWaveCall, Failure> failures;
    std::map<FakeWaveCall, int> calls;
    std::map<int, std::string> errorTexts;
    bool keepOnReset = false;
    std::uint32_t positionForm = TIME_MS;

    std::uint64_t openId = 0;  // of the device object that is open; 0 when none
    std::uint64_t lastOpenId = 0;
    bool started = false;
    WaveInCallback callback;
    std::deque<WAVEHDR*> queue;
    std::optional<WaveFormatBlock> openFormat;
    std::uint64_t recordedBytes = 0;
    std::size_t droppedByDestroy = 0;

    // Counts the call and answers a scripted failure, or 0. Called with the mutex held.
    int Enter(FakeWaveCall call) {
        ++calls[call];
        auto it = failures.find(call);
        if (it == failures.end()) return MMSYSERR_NOERROR;
        const int code = it->second.code;
        if (it->second.remaining > 0 && --it->second.remaining == 0) failures.erase(it);
        return code;
    }

    // The message goes out under the mutex, so messages keep the order of the calls that caused them; the
    // callback only queues them.
    void HandBack(WAVEHDR* header) {
        header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
        if (callback) callback(MM_WIM_DATA, header);
    }

    bool Accepts(const WaveFormatBlock& format) const {
        if (supported.empty()) return format.Record().wFormatTag == 1;
        return std::any_of(supported.begin(), supported.end(),
                           [&](const WAVEFORMATEX& f) { return f == format.Record(); });
    }

    int CheckDevice(int deviceId) const {
        if (deviceCount == 0) return MMSYSERR_NODRIVER;
        if (deviceId != WAVE_MAPPER && (deviceId < 0 || static_cast<unsigned>(deviceId) >= deviceCount)) {
            return MMSYSERR_BADDEVICEID;
        }
        return MMSYSERR_NOERROR;
    }
};

FakeWaveInService::FakeWaveInService() : state_(std::make_shared<FakeWaveInState>()) {}

FakeWaveInService::~FakeWaveInService() = default;

void FakeWaveInService::SetDeviceCount(unsigned count) {
    std::lock_guard lock(state_->mutex);
    state_->deviceCount = count;
}

void FakeWaveInService::SetCaps(const WaveInCaps& caps) {
    std::lock_guard lock(state_->mutex);
    state_->caps = caps;
}

void FakeWaveInService::SetSupportedFormats(std::vector<WAVEFORMATEX> formats) {
    std::lock_guard lock(state_->mutex);
    state_->supported = std::move(formats);
}

void FakeWaveInService::FailCall(FakeWaveCall call, int code, int times) {
    std::lock_guard lock(state_->mutex);
    state_->failures[call] = FakeWaveInState::Failure{code, times};
}

void FakeWaveInService::ClearFailures() {
    std::lock_guard lock(state_->mutex);
    state_->failures.clear();
}

void FakeWaveInService::SetErrorText(int code, std::string text) {
    std::lock_guard lock(state_->mutex);
    state_->errorTexts[code] = std::move(text);
}

void FakeWaveInService::SetKeepBuffersOnReset(bool keep) {
    std::lock_guard lock(state_->mutex);
    state_->keepOnReset = keep;
}

void FakeWaveInService::SetPositionForm(std::uint32_t wType) {
    std::lock_guard lock(state_->mutex);
    state_->positionForm = wType;
}

std::size_t FakeWaveInService::Feed(std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(state_->mutex);
    FakeWaveInState& s = *state_;
    std::size_t taken = 0;
    while (taken < bytes.size() && s.openId != 0 && s.started && !s.queue.empty()) {
        WAVEHDR* header = s.queue.front();
        const std::size_t room = header->dwBufferLength - header->dwBytesRecorded;
        const std::size_t n = std::min(room, bytes.size() - taken);
        std::memcpy(header->lpData + header->dwBytesRecorded, bytes.data() + taken, n);
        header->dwBytesRecorded += static_cast<std::uint32_t>(n);
        taken += n;
        s.recordedBytes += n;
        if (header->dwBytesRecorded == header->dwBufferLength) {
            s.queue.pop_front();
            s.HandBack(header);
        }
    }
    return taken;
}

std::size_t FakeWaveInService::Feed(std::size_t count, std::uint8_t value) {
    const std::vector<std::uint8_t> bytes(count, value);
    return Feed(bytes);
}

bool FakeWaveInService::WaitForQueued(std::size_t count, int timeoutMs) {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                    [&] { return state_->openId != 0 && state_->queue.size() >= count; });
}

bool FakeWaveInService::WaitForRecording(std::size_t count, int timeoutMs) {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return state_->openId != 0 && state_->started && state_->queue.size() >= count;
    });
}

bool FakeWaveInService::IsOpen() const {
    std::lock_guard lock(state_->mutex);
    return state_->openId != 0;
}

bool FakeWaveInService::IsStarted() const {
    std::lock_guard lock(state_->mutex);
    return state_->openId != 0 && state_->started;
}

std::size_t FakeWaveInService::QueuedCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->queue.size();
}

int FakeWaveInService::CallCount(FakeWaveCall call) const {
    std::lock_guard lock(state_->mutex);
    auto it = state_->calls.find(call);
    return it == state_->calls.end() ? 0 : it->second;
}

std::optional<WaveFormatBlock> FakeWaveInService::OpenFormat() const {
    std::lock_guard lock(state_->mutex);
    return state_->openFormat;
}

std::size_t FakeWaveInService::BuffersDroppedByDestroy() const {
    std::lock_guard lock(state_->mutex);
    return state_->droppedByDestroy;
}

unsigned FakeWaveInService::DeviceCount() {
    std::lock_guard lock(state_->mutex);
    return state_->deviceCount;
}

int FakeWaveInService::GetCaps(int deviceId, WaveInCaps& caps) {
    std::lock_guard lock(state_->mutex);
    if (const int code = state_->Enter(FakeWaveCall::GetCaps)) return code;
    if (const int code = state_->CheckDevice(deviceId)) return code;
    caps = state_->caps;
    return MMSYSERR_NOERROR;
}

int FakeWaveInService::QueryFormat(int deviceId, const WaveFormatBlock& format) {
    std::lock_guard lock(state_->mutex);
    if (const int code = state_->Enter(FakeWaveCall::QueryFormat)) return code;
    if (const int code = state_->CheckDevice(deviceId)) return code;
    return state_->Accepts(format) ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
}

int FakeWaveInService::Open(int deviceId, const WaveFormatBlock& format, WaveInCallback callback,
                            std::unique_ptr<WaveInDevice>& device) {
    std::lock_guard lock(state_->mutex);
    FakeWaveInState& s = *state_;
    if (const int code = s.Enter(FakeWaveCall::Open)) return code;
    if (const int code = s.CheckDevice(deviceId)) return code;
    if (s.openId != 0) return MMSYSERR_ALLOCATED;
    if (!s.Accepts(format)) return WAVERR_BADFORMAT;
    s.openId = ++s.lastOpenId;
    s.started = false;
    s.queue.clear();
    s.callback = std::move(callback);
    s.openFormat = format;
    s.recordedBytes = 0;
    device = std::make_unique<FakeWaveInDevice>(state_, s.openId);
    if (s.callback) s.callback(MM_WIM_OPEN, nullptr);
    return MMSYSERR_NOERROR;
}

std::string FakeWaveInService::ErrorText(int code) {
    std::lock_guard lock(state_->mutex);
    auto it = state_->errorTexts.find(code);
    if (it != state_->errorTexts.end()) return it->second;
    return "Fake wave input error " + std::to_string(code) + ".";
}

FakeWaveInDevice::FakeWaveInDevice(std::shared_ptr<FakeWaveInState> state, std::uint64_t openId)
    : state_(std::move(state)), openId_(openId) {}

FakeWaveInDevice::~FakeWaveInDevice() {
    std::lock_guard lock(state_->mutex);
    if (state_->openId != openId_) return;
    // Destroyed without a close: the device lets go of everything it holds, without touching it again.
    state_->droppedByDestroy += state_->queue.size();
    state_->queue.clear();
    state_->openId = 0;
    state_->started = false;
    state_->callback = nullptr;
}

int FakeWaveInDevice::Prepare(WAVEHDR& header) {
    std::lock_guard lock(state_->mutex);
    if (const int code = state_->Enter(FakeWaveCall::Prepare)) return code;
    if (state_->openId != openId_) return MMSYSERR_INVALHANDLE;
    header.dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

int FakeWaveInDevice::Unprepare(WAVEHDR& header) {
    std::lock_guard lock(state_->mutex);
    if (const int code = state_->Enter(FakeWaveCall::Unprepare)) return code;
    if (state_->openId != openId_) return MMSYSERR_INVALHANDLE;
    if ((header.dwFlags & WHDR_INQUEUE) != 0) return WAVERR_STILLPLAYING;
    header.dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

int FakeWaveInDevice::AddBuffer(WAVEHDR& header) {
    std::lock_guard lock(state_->mutex);
    if (const int code = state_->Enter(FakeWaveCall::AddBuffer)) return code;
    if (state_->openId != openId_) return MMSYSERR_INVALHANDLE;
    if ((header.dwFlags & WHDR_PREPARED) == 0) return WAVERR_UNPREPARED;
    if ((header.dwFlags & WHDR_INQUEUE) != 0) return WAVERR_STILLPLAYING;
    header.dwFlags = (header.dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    header.dwBytesRecorded = 0;
    state_->queue.push_back(&header);
    state_->changed.notify_all();
    return MMSYSERR_NOERROR;
}

int FakeWaveInDevice::Start() {
    std::lock_guard lock(state_->mutex);
    if (const int code = state_->Enter(FakeWaveCall::Start)) return code;
    if (state_->openId != openId_) return MMSYSERR_INVALHANDLE;
    state_->started = true;
    state_->changed.notify_all();
    return MMSYSERR_NOERROR;
}

int FakeWaveInDevice::Stop() {
    std::lock_guard lock(state_->mutex);
    if (const int code = state_->Enter(FakeWaveCall::Stop)) return code;
    if (state_->openId != openId_) return MMSYSERR_INVALHANDLE;
    state_->started = false;
    if (!state_->queue.empty() && state_->queue.front()->dwBytesRecorded > 0) {
        WAVEHDR* partial = state_->queue.front();
        state_->queue.pop_front();
        state_->HandBack(partial);
    }
    return MMSYSERR_NOERROR;
}

int FakeWaveInDevice::Reset() {
    std::lock_guard lock(state_->mutex);
    if (const int code = state_->Enter(FakeWaveCall::Reset)) return code;
    if (state_->openId != openId_) return MMSYSERR_INVALHANDLE;
    state_->started = false;
    if (state_->keepOnReset) return MMSYSERR_NOERROR;
    while (!state_->queue.empty()) {
        WAVEHDR* header = state_->queue.front();
        state_->queue.pop_front();
        state_->HandBack(header);
    }
    return MMSYSERR_NOERROR;
}

int FakeWaveInDevice::Close() {
    std::lock_guard lock(state_->mutex);
    if (const int code = state_->Enter(FakeWaveCall::Close)) return code;
    if (state_->openId != openId_) return MMSYSERR_INVALHANDLE;
    if (!state_->queue.empty()) return WAVERR_STILLPLAYING;
    state_->openId = 0;
    state_->started = false;
    WaveInCallback callback = std::move(state_->callback);
    state_->callback = nullptr;
    if (callback) callback(MM_WIM_CLOSE, nullptr);
    return MMSYSERR_NOERROR;
}

int FakeWaveInDevice::GetPosition(MMTIME& time) {
    std::lock_guard lock(state_->mutex);
    if (const int code = state_->Enter(FakeWaveCall::GetPosition)) return code;
    if (state_->openId != openId_) return MMSYSERR_INVALHANDLE;
    const WAVEFORMATEX format = state_->openFormat ? state_->openFormat->Record() : WAVEFORMATEX{};
    const std::uint64_t bytes = state_->recordedBytes;
    const std::uint64_t ms = format.nAvgBytesPerSec ? bytes * 1000 / format.nAvgBytesPerSec : 0;
    time = MMTIME{};
    time.wType = state_->positionForm;
    switch (state_->positionForm) {
        case TIME_BYTES:
            time.value = static_cast<std::uint32_t>(bytes);
            break;
        case TIME_SAMPLES:
            time.value = static_cast<std::uint32_t>(format.nBlockAlign ? bytes / format.nBlockAlign : 0);
            break;
        case TIME_SMPTE:
            time.hour = static_cast<std::uint8_t>(ms / 3600000);
            time.min = static_cast<std::uint8_t>(ms / 60000 % 60);
            time.sec = static_cast<std::uint8_t>(ms / 1000 % 60);
            time.frame = static_cast<std::uint8_t>(ms % 1000 / 40);
            break;
        default:
            time.value = static_cast<std::uint32_t>(ms);
            break;
    }
    return MMSYSERR_NOERROR;
}

}  // namespace tolm
