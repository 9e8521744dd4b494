#include <algorithm>

#include "audio/scWaveIn.h"
#include "audio/scWaveUtils.h"

namespace tolm {

namespace {

constexpr std::size_t kMaxErrorText = 255;

// Cuts UTF-8 text to at most `limit` bytes without splitting a character.
std::string Truncated(std::string text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text;
}

}  // namespace

TWaveAudioIn::TWaveAudioIn(WaveInService* service) : service_(service) {}

TWaveAudioIn::~TWaveAudioIn() {
    Shutdown();
}

void TWaveAudioIn::SetPCMFormat(TPCMFormat value) {
    auto guard = Lock();
    if (value != pcmFormat_ && IsDeviceOpen()) {
        throw EWaveAudioInvalidOperation("Audio format cannot be changed while device is open");
    }
    pcmFormat_ = value;
}

std::string TWaveAudioIn::GetErrorText(int code) {
    if (service_ == nullptr) return code == MMSYSERR_NODRIVER ? "No sound input device is available." : "";
    return Truncated(service_->ErrorText(code), kMaxErrorText);
}

bool TWaveAudioIn::IsFormatSupported(const WaveFormatBlock& format) {
    return service_ != nullptr && service_->QueryFormat(DeviceID(), format) == MMSYSERR_NOERROR;
}

bool TWaveAudioIn::QueueExternalBuffer(std::uint8_t* buffer, std::uint32_t count) {
    if (buffer == nullptr || count == 0) return false;
    return QueueExternal(count, buffer, nullptr);
}

bool TWaveAudioIn::QueueExternalBuffer(std::vector<std::uint8_t> block) {
    if (block.empty()) return false;
    return QueueExternal(static_cast<std::uint32_t>(block.size()), nullptr, &block);
}

bool TWaveAudioIn::QueueExternal(std::uint32_t count, std::uint8_t* external, std::vector<std::uint8_t>* adopted) {
    auto guard = Lock();
    if (!IsDeviceOpen() || Closing()) return false;
    TWaveBuffer* buffer = nullptr;
    if (!ReuseHeader(buffer, count, external, adopted)) return false;
    try {
        if (QueueHeader(*buffer)) return true;
    } catch (...) {
        ReleaseBuffer(buffer);
        throw;
    }
    ReleaseBuffer(buffer);
    return false;
}

void TWaveAudioIn::HandleInputOpened() {
    TWaveAudioIO::HandleInputOpened();
    // A close that came before the open message leaves nothing to start.
    if (paused_ || Closing() || !device_) return;
    const int code = device_->Start();
    paused_ = code != MMSYSERR_NOERROR;
    CheckResult(code);
}

void TWaveAudioIn::HandleInputClosed() {
    device_.reset();
    TWaveAudioIO::HandleInputClosed();
}

void TWaveAudioIn::ReleaseUnclosedDevice() {
    // The device object goes first, so nothing it still holds is used after the buffers are freed.
    device_.reset();
    HandleInputClosed();
}

void TWaveAudioIn::HandleInputData(WAVEHDR* header) {
    TWaveBuffer* buffer = FindBuffer(header);
    try {
        if (buffer != nullptr) RecycleBuffer(buffer);
    } catch (...) {
        if (buffer != nullptr) {
            if (device_ && (buffer->header.dwFlags & WHDR_PREPARED) != 0) device_->Unprepare(buffer->header);
            ReleaseBuffer(buffer);
        }
        CloseWhenDrained();
        throw;
    }
    CloseWhenDrained();
}

void TWaveAudioIn::RecycleBuffer(TWaveBuffer*& buffer) {
    WAVEHDR& header = buffer->header;
    if (CheckResult(device_ ? device_->Unprepare(header) : MMSYSERR_INVALHANDLE) && header.dwBytesRecorded != 0) {
        // A device never reports more than the buffer holds; if one did, the rest is not ours to read.
        const std::uint32_t count = std::min(header.dwBytesRecorded, header.dwBufferLength);
        bool FreeIt = true;
        DoLevel(header.lpData, count);
        DoData(header.lpData, count);
        ProcessData(header.lpData, count, FreeIt);
        if (!FreeIt) {
            if (header.dwUser == OwnerTag()) BlockKept(std::move(buffer->block));
            buffer->block = {};
            header.dwUser = 0;
        }
    }
    const std::uint32_t size = BufferBytes();
    if (!Closing() && size > 0 && HeaderCount() <= BufferCount()) {
        if (ReuseHeader(buffer, size) && QueueHeader(*buffer)) return;
    }
    // Surplus after BufferCount was lowered, or the device is closing.
    ReleaseBuffer(buffer);
}

void TWaveAudioIn::CloseWhenDrained() {
    if (Closing() && HeaderCount() == 0 && device_) CheckResult(device_->Close());
}

int TWaveAudioIn::GetDeviceCount() {
    return service_ != nullptr ? static_cast<int>(service_->DeviceCount()) : 0;
}

std::string TWaveAudioIn::GetDeviceName() {
    WaveInCaps caps;
    if (service_ == nullptr || service_->GetCaps(DeviceID(), caps) != MMSYSERR_NOERROR) return "";
    return caps.productName;
}

TPCMFormats TWaveAudioIn::GetDeviceFormats() {
    WaveInCaps caps;
    if (service_ == nullptr || service_->GetCaps(DeviceID(), caps) != MMSYSERR_NOERROR) return {};
    // Every device records the four 8 kHz formats; the twelve standard bits map onto stock formats 5..16.
    TPCMFormats formats{TPCMFormat::Mono8Bit8000Hz, TPCMFormat::Stereo8bit8000Hz, TPCMFormat::Mono16bit8000Hz,
                        TPCMFormat::Stereo16bit8000Hz};
    for (int bit = 0; bit < 12; ++bit) {
        if ((caps.dwFormats & (WAVE_FORMAT_1M08 << bit)) != 0) formats.Include(static_cast<TPCMFormat>(5 + bit));
    }
    return formats;
}

std::uint32_t TWaveAudioIn::GetPosition() {
    auto guard = Lock();
    if (!device_) return 0;
    MMTIME time;
    time.wType = TIME_MS;
    if (device_->GetPosition(time) != MMSYSERR_NOERROR) return 0;
    return MMTimeToMilliseconds(time, CurrentFormat());
}

void TWaveAudioIn::GetWaveFormat(std::optional<WaveFormatBlock>& format) {
    format.reset();
    if (pcmFormat_ == TPCMFormat::nonePCM) {
        if (OnFormat) OnFormat(*this, format);
        return;
    }
    WAVEFORMATEX record;
    FillStockPCMFormat(record, pcmFormat_);
    format.emplace(record);
}

int TWaveAudioIn::ValidateDeviceID(int id) {
    WaveInCaps caps;
    return service_ != nullptr ? service_->GetCaps(id, caps) : MMSYSERR_NODRIVER;
}

bool TWaveAudioIn::OpenDevice() {
    if (Opening()) return false;
    if (Closing()) WaitWhileClosing();
    if (Active()) throw EWaveAudioInvalidOperation("Device is aleardy open");
    JoinBufferThread();  // one a finished close left behind

    auto guard = Lock();
    if (Active()) throw EWaveAudioInvalidOperation("Device is aleardy open");
    SetOpening(true);
    struct OpeningEnds {
        TWaveAudioIn& self;
        ~OpeningEnds() { self.SetOpening(false); }
    } openingEnds{*this};

    std::optional<WaveFormatBlock> format;
    GetWaveFormat(format);
    int query = MMSYSERR_NODRIVER;
    if (service_ != nullptr) query = format ? service_->QueryFormat(DeviceID(), *format) : WAVERR_BADFORMAT;
    if (!CheckResult(query)) return false;

    SetCurrentFormat(format->Record());
    WaveInCallback callback = CreateCallback();
    try {
        std::unique_ptr<WaveInDevice> device;
        int code = service_->Open(DeviceID(), *format, std::move(callback), device);
        if (code == MMSYSERR_NOERROR && !device) code = MMSYSERR_ERROR;
        if (code == MMSYSERR_NOERROR) device_ = std::move(device);
        if (!CheckResult(code)) {
            DestroyCallback();
            return false;
        }
    } catch (...) {
        DestroyCallback();
        return false;
    }
    return true;
}

bool TWaveAudioIn::CloseDevice() {
    if (Closing()) return false;
    if (Opening()) WaitWhileOpening();

    auto guard = Lock();
    if (Closing()) return false;
    if (!Active()) throw EWaveAudioInvalidOperation("Device is aleardy close");
    try {
        SetClosing(true);
        if (!device_ || !CheckResult(device_->Reset())) {
            SetClosing(false);
            return false;
        }
        // The buffers come back through the buffer cycle, which closes the device after the last one.
        if (HeaderCount() > 0) return true;
        return CheckResult(device_->Close());
    } catch (...) {
        SetClosing(false);
        return false;
    }
}

bool TWaveAudioIn::PauseDevice() {
    if (paused_) return false;
    auto guard = Lock();
    if (IsDeviceOpen() && !CheckResult(device_->Stop())) return false;
    paused_ = true;
    DoPause();
    return true;
}

bool TWaveAudioIn::ResumeDevice() {
    if (!paused_) return false;
    auto guard = Lock();
    if (IsDeviceOpen() && !CheckResult(device_->Start())) return false;
    paused_ = false;
    DoResume();
    return true;
}

void TWaveAudioIn::QueueBuffers() {
    TWaveBuffer* buffer = nullptr;
    try {
        const std::uint32_t size = BufferBytes();
        while (HeaderCount() < BufferCount() && IsDeviceOpen() && !Closing() && size > 0) {
            buffer = nullptr;
            if (!ReuseHeader(buffer, size)) break;
            if (!QueueHeader(*buffer)) {
                ReleaseBuffer(buffer);
                break;
            }
        }
    } catch (...) {
        // The failure is in LastError; the pool stays as far as it got.
        ReleaseBuffer(buffer);
    }
}

bool TWaveAudioIn::QueueHeader(TWaveBuffer& buffer) {
    if (!device_) return false;
    WAVEHDR& header = buffer.header;
    bool preparedHere = false;
    if ((header.dwFlags & WHDR_PREPARED) == 0) {
        if (!CheckResult(device_->Prepare(header))) return false;
        preparedHere = true;
    }
    bool queued = false;
    try {
        queued = CheckResult(device_->AddBuffer(header));
    } catch (...) {
        if (preparedHere) device_->Unprepare(header);
        throw;
    }
    if (!queued && preparedHere) device_->Unprepare(header);
    return queued;
}

void TWaveAudioIn::ProcessData(const std::uint8_t* /*buffer*/, std::uint32_t /*count*/, bool& /*FreeIt*/) {}

void TWaveAudioIn::BlockKept(std::vector<std::uint8_t>&& /*block*/) {}

}  // namespace tolm
