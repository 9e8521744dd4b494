#include <algorithm>
#include <cstdio>
#include <exception>
#include <new>
#include <utility>

#include "audio/scWaveIO.h"
#include "audio/scWaveUtils.h"

namespace tolm {

namespace {

std::mutex& DisplayMutex() {
    static std::mutex mutex;
    return mutex;
}

TWaveExceptionDisplay& CurrentDisplay() {
    static TWaveExceptionDisplay display;
    return display;
}

constexpr std::uint32_t Bit(TPCMFormat format) {
    return std::uint32_t{1} << static_cast<unsigned>(format);
}

}  // namespace

TWaveExceptionDisplay SetWaveExceptionDisplay(TWaveExceptionDisplay display) {
    std::lock_guard lock(DisplayMutex());
    return std::exchange(CurrentDisplay(), std::move(display));
}

void ShowWaveException(const std::string& text) {
    TWaveExceptionDisplay display;
    {
        std::lock_guard lock(DisplayMutex());
        display = CurrentDisplay();
    }
    if (display) {
        display(text);
    } else {
        std::fprintf(stderr, "TOLM Screen Capture: %s\n", text.c_str());
    }
}

TPCMFormats::TPCMFormats(std::initializer_list<TPCMFormat> formats) {
    for (TPCMFormat format : formats) Include(format);
}

void TPCMFormats::Include(TPCMFormat format) {
    if (static_cast<int>(format) <= kStockPCMFormatCount) bits_ |= Bit(format);
}

bool TPCMFormats::Has(TPCMFormat format) const {
    return static_cast<int>(format) <= kStockPCMFormatCount && (bits_ & Bit(format)) != 0;
}

// The component's lock and who may still receive the device messages of which callback. Every posted
// message holds it, so one that arrives after its callback (or its component) has gone is dropped instead of
// reaching freed memory.
struct TWaveAudioIO::Delivery {
    std::recursive_mutex lock;
    TWaveAudioIO* owner = nullptr;          // none once the component is going
    std::atomic<std::uint64_t> session{0};  // the current callback's; 0 without one
    std::uint64_t lastSession = 0;

    void Deliver(std::uint64_t from, std::uint32_t message, WAVEHDR* header) {
        // A stale message must not queue up behind the lock: an open may hold it while joining this thread.
        if (from != session) return;
        std::lock_guard guard(lock);
        if (owner != nullptr && from == session) owner->DispatchDeviceMessage(message, header);
    }
};

TWaveAudioIO::TWaveAudioIO() : delivery_(std::make_shared<Delivery>()), windowQueue_(MessageQueue::OfCurrentThread()) {
    delivery_->owner = this;
}

TWaveAudioIO::~TWaveAudioIO() {
    // The subclass has shut down; this only makes sure that no message and no thread outlives the object.
    {
        auto guard = Lock();
        delivery_->owner = nullptr;
        delivery_->session = 0;
    }
    thread_.reset();
}

void TWaveAudioIO::SetActive(bool value) {
    if (value == Active()) return;
    if (value) {
        OpenDevice();
    } else {
        CloseDevice();
    }
}

void TWaveAudioIO::SetPaused(bool value) {
    if (value == GetPaused()) return;
    if (value) {
        PauseDevice();
    } else {
        ResumeDevice();
    }
}

void TWaveAudioIO::SetAsync(bool value) {
    auto guard = Lock();
    if (!active_) async_ = value;
}

void TWaveAudioIO::SetBufferLength(std::uint16_t value) {
    bufferLength_ = std::max<std::uint16_t>(value, 10);
}

bool TWaveAudioIO::IsPCMFormatSupported(TPCMFormat format) {
    WAVEFORMATEX record;
    FillStockPCMFormat(record, format);
    return record.wFormatTag == kWaveFormatPCM && IsFormatSupported(WaveFormatBlock(record));
}

void TWaveAudioIO::WaitWhileOpening() {
    // The opening thread itself (an OnFormat handler, say) would wait for itself.
    if (!opening_ || openingThread_ == std::this_thread::get_id()) return;
    MessageQueue::OfCurrentThread()->ServeUntil([this] { return !opening_; }, -1);
}

void TWaveAudioIO::WaitWhileClosing() {
    if (closing_ && !MessageQueue::OfCurrentThread()->ServeUntil([this] { return !closing_; }, closeWaitLimitMs_)) {
        AbandonDevice();
    }
    JoinBufferThread();
}

std::uint32_t TWaveAudioIO::MMTimeToMilliseconds(const MMTIME& time, const WAVEFORMATEX& format) {
    switch (time.wType) {
        case TIME_MS:
            return time.value;
        case TIME_SAMPLES:
            if (format.nSamplesPerSec == 0) return 0;
            return static_cast<std::uint32_t>(std::uint64_t{time.value} * 1000 / format.nSamplesPerSec);
        case TIME_BYTES:
            if (format.nAvgBytesPerSec == 0) return 0;
            return static_cast<std::uint32_t>(std::uint64_t{time.value} * 1000 / format.nAvgBytesPerSec);
        case TIME_SMPTE:
            return time.hour * 3600000u + time.min * 60000u + time.sec * 1000u;
        default:
            return 0;
    }
}

void TWaveAudioIO::Activated() {
    opening_ = false;
    QueueBuffers();
    DoActivate();
}

void TWaveAudioIO::Deactivated() {
    // A throwing level handler must not leave the component active over a closed device.
    std::exception_ptr levelError;
    try {
        DoLevel(nullptr, 0);
    } catch (...) {
        levelError = std::current_exception();
    }
    closing_ = false;
    DestroyCallback();
    FreeAllBuffers();
    if (levelError) std::rethrow_exception(levelError);
    DoDeactivate();
}

void TWaveAudioIO::DoActivate() {
    if (OnActivate) OnActivate(*this);
}

void TWaveAudioIO::DoDeactivate() {
    if (OnDeactivate && !destroying_) OnDeactivate(*this);
}

void TWaveAudioIO::DoPause() {
    if (OnPause) OnPause(*this);
}

void TWaveAudioIO::DoResume() {
    if (OnResume) OnResume(*this);
}

void TWaveAudioIO::DoError() {
    if (OnError) {
        OnError(*this);
        return;
    }
    throw EWaveAudioSysError(GetErrorText(LastError()));
}

void TWaveAudioIO::DoLevel(const std::uint8_t* buffer, std::uint32_t count) {
    if (OnLevel && !destroying_ && currentFormat_.wFormatTag == kWaveFormatPCM) {
        OnLevel(*this, PeakLevel(buffer, count, currentFormat_));
    }
}

void TWaveAudioIO::DoData(const std::uint8_t* buffer, std::uint32_t count) {
    if (OnData && !destroying_) OnData(*this, buffer, count);
}

bool TWaveAudioIO::DispatchDeviceMessage(std::uint32_t message, WAVEHDR* header) {
    auto guard = Lock();
    try {
        switch (message) {
            case MM_WOM_OPEN:
                HandleOutputOpened();
                break;
            case MM_WOM_CLOSE:
                HandleOutputClosed();
                break;
            case MM_WOM_DONE:
                HandleOutputDone(header);
                break;
            case MM_WIM_OPEN:
                HandleInputOpened();
                break;
            case MM_WIM_CLOSE:
                HandleInputClosed();
                break;
            case MM_WIM_DATA:
                HandleInputData(header);
                break;
            default:
                return false;
        }
    } catch (const std::exception& e) {
        ShowWaveException(e.what());
    } catch (...) {
        ShowWaveException("An unknown error ended the handling of a sound device message.");
    }
    return true;
}

WaveInCallback TWaveAudioIO::CreateCallback() {
    std::shared_ptr<MessageQueue> queue;
    if (async_) {
        if (thread_ && thread_->Id() == std::this_thread::get_id()) {
            // Reopened from a hook on the old buffer thread, which cannot join itself.
            retiredThreads_.push_back(std::move(thread_));
        }
        thread_.reset();  // an ended thread left over from the last close
        thread_ = std::make_unique<TWaveThread>();
        WaitWithMessages(thread_->Ready(), -1);
        queue = thread_->Queue();
        threadCallback_ = true;
    } else {
        queue = windowQueue_;
        threadCallback_ = false;
    }
    const std::uint64_t session = ++delivery_->lastSession;
    delivery_->session = session;
    active_ = true;
    return [delivery = delivery_, queue, session](std::uint32_t message, WAVEHDR* header) {
        queue->Post([delivery, session, message, header] { delivery->Deliver(session, message, header); });
    };
}

void TWaveAudioIO::DestroyCallback() {
    if (!active_) return;
    delivery_->session = 0;
    if (threadCallback_ && thread_) thread_->RequestQuit();
    active_ = false;
}

void TWaveAudioIO::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    destroying_ = true;
    try {
        if (Active() && !Closing()) CloseDevice();
    } catch (const std::exception& e) {
        ShowWaveException(e.what());
    }
    WaitWhileClosing();
    if (Active()) AbandonDevice();  // a close that failed at once
    JoinBufferThread();
    auto guard = Lock();
    delivery_->owner = nullptr;
}

void TWaveAudioIO::AbandonDevice() {
    auto guard = Lock();
    if (!active_) return;  // it closed after all
    try {
        ReleaseUnclosedDevice();
    } catch (const std::exception& e) {
        ShowWaveException(e.what());
    } catch (...) {
        ShowWaveException("An unknown error occurred while releasing a sound device.");
    }
    if (active_) {
        // The release ended early; the subclass let go of its device first, so the buffers are free to go.
        closing_ = false;
        DestroyCallback();
        FreeAllBuffers();
    }
}

void TWaveAudioIO::JoinBufferThread() {
    std::vector<std::unique_ptr<TWaveThread>> ending;
    {
        auto guard = Lock();
        const auto self = std::this_thread::get_id();
        if (thread_ && !active_ && thread_->Id() != self) ending.push_back(std::move(thread_));
        for (auto& retired : retiredThreads_) {
            if (retired && retired->Id() != self) ending.push_back(std::move(retired));
        }
        std::erase(retiredThreads_, nullptr);
    }
    for (auto& thread : ending) {
        MessageQueue::OfCurrentThread()->ServeUntil([&] { return thread->Ended(); }, -1);
        thread.reset();
    }
}

std::unique_lock<std::recursive_mutex> TWaveAudioIO::Lock() {
    return std::unique_lock(delivery_->lock);
}

bool TWaveAudioIO::CheckResult(int code) {
    lastError_ = code;
    if (code == MMSYSERR_NOERROR) return true;
    DoError();
    return false;
}

std::uint32_t TWaveAudioIO::BufferBytes() const {
    return BufferBytesForMilliseconds(currentFormat_, bufferLength_);
}

void TWaveAudioIO::SetCurrentFormat(const WAVEFORMATEX& format) {
    currentFormat_ = format;
    currentFormat_.cbSize = 0;
}

void TWaveAudioIO::SetOpening(bool value) {
    openingThread_ = value ? std::this_thread::get_id() : std::thread::id();
    opening_ = value;
}

TWaveBuffer* TWaveAudioIO::FindBuffer(const WAVEHDR* header) const {
    for (const auto& buffer : buffers_) {
        if (&buffer->header == header) return buffer.get();
    }
    return nullptr;
}

bool TWaveAudioIO::ReuseHeader(TWaveBuffer*& buffer, std::uint32_t size, std::uint8_t* external,
                               std::vector<std::uint8_t>* adopted) {
    if (size == 0 && adopted == nullptr) {
        ReleaseBuffer(buffer);
        return true;
    }
    if (buffer == nullptr) {
        try {
            buffers_.push_back(std::make_unique<TWaveBuffer>());
            buffer = buffers_.back().get();
        } catch (const std::bad_alloc&) {
            buffer = nullptr;
            CheckResult(MMSYSERR_NOMEM);
            return false;
        }
    }
    WAVEHDR& header = buffer->header;
    // Someone else's block is forgotten, never freed.
    if (header.dwUser != OwnerTag()) buffer->block = {};
    std::uint8_t* data = nullptr;
    bool owned = true;
    if (adopted != nullptr) {
        buffer->block = std::move(*adopted);
        data = buffer->block.data();
        size = static_cast<std::uint32_t>(buffer->block.size());
    } else if (external != nullptr) {
        buffer->block = {};
        data = external;
        owned = false;
    } else {
        if (buffer->block.size() != size) {
            try {
                buffer->block.resize(size);
            } catch (const std::bad_alloc&) {
                ReleaseBuffer(buffer);
                CheckResult(MMSYSERR_NOMEM);
                return false;
            }
        }
        data = buffer->block.data();
    }
    header = WAVEHDR{};
    header.lpData = data;
    header.dwBufferLength = size;
    header.dwUser = owned ? OwnerTag() : 0;
    return true;
}

void TWaveAudioIO::ReleaseBuffer(TWaveBuffer*& buffer) {
    if (buffer != nullptr) {
        std::erase_if(buffers_, [&](const std::unique_ptr<TWaveBuffer>& b) { return b.get() == buffer; });
    }
    buffer = nullptr;
}

void TWaveAudioIO::FreeAllBuffers() {
    while (!buffers_.empty()) buffers_.pop_back();
}

}  // namespace tolm
