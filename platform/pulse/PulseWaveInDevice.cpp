#include "platform/pulse/PulseWaveInDevice.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/pulse/PulseWaveFormat.h"

namespace tolm::pulse {
namespace {

// Small fragments make the server send often, so buffers fill steadily rather than in bursts.
constexpr pa_usec_t kFragmentUsec = 20 * PA_USEC_PER_MSEC;
// What the device holds for buffers still to come: more than a source's longest burst (2 s) and than a buffer
// thread is late on a busy machine.
constexpr std::size_t kHeldSeconds = 5;

void MarkDone(WAVEHDR& header) {
    header.dwFlags = (header.dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
}

}  // namespace

PulseWaveInDevice::PulseWaveInDevice(Key, std::shared_ptr<PulseConnection> connection,
                                     std::shared_ptr<ProblemNote> problems, const WAVEFORMATEX& format,
                                     WaveInCallback callback)
    : connection_(std::move(connection)),
      problems_(std::move(problems)),
      callback_(std::make_shared<const WaveInCallback>(std::move(callback))),
      format_(format),
      heldLimit_(kHeldSeconds * format.nAvgBytesPerSec) {}

int PulseWaveInDevice::Open(std::shared_ptr<PulseConnection> connection, std::shared_ptr<ProblemNote> problems,
                            const std::string& sourceName, const WAVEFORMATEX& format, WaveInCallback callback,
                            std::unique_ptr<WaveInDevice>& device) {
    // Declared before the lock, so a failed device ends after the lock is released.
    auto opened = std::make_unique<PulseWaveInDevice>(Key{}, connection, problems, format, std::move(callback));
    PulseConnection::Lock lock(*connection);
    const int error = opened->Connect(sourceName);
    if (error != PA_OK) {
        const int result = WaveResultOf(error);
        if (result == MMSYSERR_NODRIVER || result == MMSYSERR_ERROR) problems->Set(pa_strerror(error));
        opened->Disconnect();
        return result;
    }
    opened->PostMessage(MM_WIM_OPEN, nullptr);
    device = std::move(opened);
    return MMSYSERR_NOERROR;
}

PulseWaveInDevice::~PulseWaveInDevice() {
    PulseConnection::Lock lock(*connection_);
    Disconnect();
}

int PulseWaveInDevice::Connect(const std::string& sourceName) {
    const pa_sample_spec sample = SampleSpecOf(format_);
    const pa_channel_map map = ChannelMapOf(format_);
    stream_.reset(pa_stream_new(connection_->Context(), "Sound track", &sample, &map));
    if (!stream_) return connection_->LastError();
    pa_stream_set_state_callback(stream_.get(), &OnStreamState, this);
    pa_stream_set_read_callback(stream_.get(), &OnStreamRead, this);
    pa_stream_set_moved_callback(stream_.get(), &OnStreamMoved, this);

    pa_buffer_attr attr;
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kFragmentUsec, &sample));
    // Recording from another source than the one asked for is no recording of it: a stream whose source goes is
    // ended by the server, not moved.
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
    if (pa_stream_connect_record(stream_.get(), sourceName.empty() ? nullptr : sourceName.c_str(), &attr, flags) < 0)
        return connection_->LastError();

    pa_stream* stream = stream_.get();
    const bool settled = connection_->WaitUntil([stream] {
        const pa_stream_state_t state = pa_stream_get_state(stream);
        return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
    });
    if (!settled) {
        connection_->MarkStalled();
        return PA_ERR_TIMEOUT;
    }
    return pa_stream_get_state(stream) == PA_STREAM_READY ? PA_OK : connection_->LastError();
}

void PulseWaveInDevice::Disconnect() {
    if (!stream_) return;
    pa_stream_set_state_callback(stream_.get(), nullptr, nullptr);
    pa_stream_set_read_callback(stream_.get(), nullptr, nullptr);
    pa_stream_set_moved_callback(stream_.get(), nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream_.get()))) pa_stream_disconnect(stream_.get());
    stream_.reset();
}

int PulseWaveInDevice::SetCorked(bool corked) {
    PulseOutcome outcome;
    return connection_->AwaitSuccess(pa_stream_cork(stream_.get(), corked ? 1 : 0, &StoreStreamSuccess, &outcome),
                                     outcome);
}

int PulseWaveInDevice::Flush() {
    PulseOutcome outcome;
    return connection_->AwaitSuccess(pa_stream_flush(stream_.get(), &StoreStreamSuccess, &outcome), outcome);
}

bool PulseWaveInDevice::StreamAlive() const {
    return connection_->Ready() && stream_ && pa_stream_get_state(stream_.get()) == PA_STREAM_READY;
}

int PulseWaveInDevice::Broken(int error) {
    if (!StreamAlive()) Fail(connection_->Problem());
    return WaveResultOf(error);
}

int PulseWaveInDevice::Prepare(WAVEHDR& header) {
    std::lock_guard lock(mutex_);
    if (state_ == State::Closed) return MMSYSERR_INVALHANDLE;
    if (header.lpData == nullptr || header.dwBufferLength == 0) return MMSYSERR_INVALPARAM;
    header.dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

int PulseWaveInDevice::Unprepare(WAVEHDR& header) {
    std::lock_guard lock(mutex_);
    if (state_ == State::Closed) return MMSYSERR_INVALHANDLE;
    if (header.dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header.dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

int PulseWaveInDevice::AddBuffer(WAVEHDR& header) {
    // A buffer that what is held fills at once goes back through the loop, like any other.
    PulseConnection::Lock loop(*connection_);
    std::vector<WAVEHDR*> done;
    {
        std::lock_guard lock(mutex_);
        if (state_ == State::Closed) return MMSYSERR_INVALHANDLE;
        if (state_ == State::Failed) return failedResult_;
        if (!(header.dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
        if (header.dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
        if (header.lpData == nullptr || header.dwBufferLength == 0) return MMSYSERR_INVALPARAM;
        header.dwBytesRecorded = 0;
        header.dwFlags = (header.dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
        header.lpNext = nullptr;
        queue_.push_back(&header);
        if (!stopped_) DrainHeld(done);
    }
    HandBack(done);
    return MMSYSERR_NOERROR;
}

int PulseWaveInDevice::Start() {
    PulseConnection::Lock loop(*connection_);
    {
        std::lock_guard lock(mutex_);
        if (state_ == State::Closed) return MMSYSERR_INVALHANDLE;
        if (state_ == State::Failed) return failedResult_;
    }
    {
        std::lock_guard lock(mutex_);
        stopped_ = false;
    }
    const int error = SetCorked(false);
    return error == PA_OK ? MMSYSERR_NOERROR : Broken(error);
}

int PulseWaveInDevice::Stop() {
    PulseConnection::Lock loop(*connection_);
    {
        std::lock_guard lock(mutex_);
        if (state_ == State::Closed) return MMSYSERR_INVALHANDLE;
        if (state_ == State::Failed) return failedResult_;
    }
    const int error = SetCorked(true);
    if (error != PA_OK) return Broken(error);
    // What the server sent before the cork belongs to this recording.
    ReadAvailable(true);
    std::vector<WAVEHDR*> partial;
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        if (!queue_.empty() && queue_.front()->dwBytesRecorded > 0) {
            partial.push_back(queue_.front());
            queue_.pop_front();
            MarkDone(*partial.back());
        }
    }
    HandBack(partial);
    return MMSYSERR_NOERROR;
}

int PulseWaveInDevice::Reset() {
    PulseConnection::Lock loop(*connection_);
    {
        std::lock_guard lock(mutex_);
        if (state_ == State::Closed) return MMSYSERR_INVALHANDLE;
        // A broken stream has handed everything back already; succeeding lets the owner close.
        if (state_ == State::Failed) return MMSYSERR_NOERROR;
    }
    int error = SetCorked(true);
    if (error == PA_OK) error = Flush();
    if (error != PA_OK && !StreamAlive()) {
        Fail(connection_->Problem());
        return MMSYSERR_NOERROR;
    }
    ReadAvailable(false);
    std::vector<WAVEHDR*> all;
    {
        std::lock_guard lock(mutex_);
        all = TakeQueue();
    }
    HandBack(all);
    return WaveResultOf(error);
}

int PulseWaveInDevice::Close() {
    PulseConnection::Lock loop(*connection_);
    {
        std::lock_guard lock(mutex_);
        if (state_ == State::Closed) return MMSYSERR_INVALHANDLE;
        if (!queue_.empty()) return WAVERR_STILLPLAYING;
        state_ = State::Closed;
    }
    Disconnect();
    PostMessage(MM_WIM_CLOSE, nullptr);
    return MMSYSERR_NOERROR;
}

int PulseWaveInDevice::GetPosition(MMTIME& time) {
    std::lock_guard lock(mutex_);
    if (state_ == State::Closed) return MMSYSERR_INVALHANDLE;
    switch (time.wType) {
        case TIME_MS:
            time.value = static_cast<std::uint32_t>(delivered_ * 1000 / format_.nAvgBytesPerSec);
            break;
        case TIME_SAMPLES:
            time.value = static_cast<std::uint32_t>(delivered_ / format_.nBlockAlign);
            break;
        default:
            time.wType = TIME_BYTES;
            time.value = static_cast<std::uint32_t>(delivered_);
            break;
    }
    return MMSYSERR_NOERROR;
}

std::uint64_t PulseWaveInDevice::DroppedBytes() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

void PulseWaveInDevice::ReadAvailable(bool keep) {
    if (!stream_) return;
    std::vector<WAVEHDR*> done;
    for (;;) {
        const void* data = nullptr;
        std::size_t size = 0;
        if (pa_stream_peek(stream_.get(), &data, &size) < 0 || size == 0) break;
        if (keep) {
            std::lock_guard lock(mutex_);
            Store(static_cast<const std::uint8_t*>(data), size, done);
        }
        pa_stream_drop(stream_.get());
    }
    HandBack(done);
}

void PulseWaveInDevice::Store(const std::uint8_t* data, std::size_t size, std::vector<WAVEHDR*>& done) {
    if (state_ != State::Open || stopped_) return;
    DrainHeld(done);
    while (size > 0 && held_.empty() && !queue_.empty()) {
        const std::size_t taken = Fill(data, size, done);
        if (data != nullptr) data += taken;
        size -= taken;
    }
    std::size_t kept = std::min(size, heldLimit_ - std::min(heldLimit_, held_.size()));
    kept -= kept % format_.nBlockAlign;
    if (data != nullptr) {
        held_.insert(held_.end(), data, data + kept);
    } else {
        held_.insert(held_.end(), kept, SilenceByteOf(format_));
    }
    dropped_ += size - kept;
}

std::size_t PulseWaveInDevice::Fill(const std::uint8_t* data, std::size_t size, std::vector<WAVEHDR*>& done) {
    WAVEHDR& header = *queue_.front();
    const std::size_t take = std::min<std::size_t>(size, header.dwBufferLength - header.dwBytesRecorded);
    std::uint8_t* to = header.lpData + header.dwBytesRecorded;
    if (data != nullptr) {
        std::memcpy(to, data, take);
    } else {
        std::memset(to, SilenceByteOf(format_), take);  // a hole in the stream: the server lost data
    }
    Filled(take, done);
    return take;
}

void PulseWaveInDevice::DrainHeld(std::vector<WAVEHDR*>& done) {
    while (!held_.empty() && !queue_.empty()) {
        WAVEHDR& header = *queue_.front();
        const std::size_t take = std::min<std::size_t>(held_.size(), header.dwBufferLength - header.dwBytesRecorded);
        const auto end = held_.begin() + static_cast<std::ptrdiff_t>(take);
        std::copy(held_.begin(), end, header.lpData + header.dwBytesRecorded);
        held_.erase(held_.begin(), end);
        Filled(take, done);
    }
}

void PulseWaveInDevice::Filled(std::size_t bytes, std::vector<WAVEHDR*>& done) {
    WAVEHDR& header = *queue_.front();
    header.dwBytesRecorded += static_cast<std::uint32_t>(bytes);
    delivered_ += bytes;
    if (header.dwBytesRecorded < header.dwBufferLength) return;
    queue_.pop_front();
    MarkDone(header);
    done.push_back(&header);
}

std::vector<WAVEHDR*> PulseWaveInDevice::TakeQueue() {
    // What is held was recorded before the end: the buffers take what they can of it.
    std::vector<WAVEHDR*> all;
    DrainHeld(all);
    held_.clear();
    all.insert(all.end(), queue_.begin(), queue_.end());
    queue_.clear();
    for (WAVEHDR* header : all) MarkDone(*header);
    return all;
}

void PulseWaveInDevice::Fail(const std::string& problem) {
    // A stream that failed while its server still answers lost its source (the server kills such a stream).
    const int result = connection_->Ready() ? MMSYSERR_BADDEVICEID : MMSYSERR_NODRIVER;
    std::vector<WAVEHDR*> all;
    {
        std::lock_guard lock(mutex_);
        if (state_ != State::Open) return;
        state_ = State::Failed;
        failedResult_ = result;
        all = TakeQueue();
    }
    problems_->Set(problem);
    HandBack(all);
}

void PulseWaveInDevice::HandBack(const std::vector<WAVEHDR*>& headers) {
    for (WAVEHDR* header : headers) PostMessage(MM_WIM_DATA, header);
}

void PulseWaveInDevice::PostMessage(std::uint32_t message, WAVEHDR* header) {
    if (!*callback_) return;
    connection_->Post([callback = callback_, message, header] { (*callback)(message, header); });
}

void PulseWaveInDevice::OnStreamState(pa_stream* stream, void* self) {
    auto* device = static_cast<PulseWaveInDevice*>(self);
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) device->Fail(device->connection_->Problem());
    device->connection_->Wake();
}

void PulseWaveInDevice::OnStreamMoved(pa_stream* stream, void* self) {
    // A server that moves the stream anyway took its source away: the input is lost, and nothing more is recorded
    // from where it went.
    static_cast<PulseWaveInDevice*>(self)->Fail("the sound source was removed");
    pa_stream_disconnect(stream);
}

void PulseWaveInDevice::OnStreamRead(pa_stream*, std::size_t, void* self) {
    static_cast<PulseWaveInDevice*>(self)->ReadAvailable(true);
}

}  // namespace tolm::pulse
