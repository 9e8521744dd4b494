#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/WaveInput.h"
#include "platform/pulse/PulseConnection.h"
#include "platform/pulse/PulseErrors.h"

namespace tolm::pulse {

// One record stream lent the caller's buffers. The server's data is copied into the queued buffers in order;
// a full buffer goes back with MM_WIM_DATA. Messages reach the callback on the connection's loop thread, in
// the order they arose. Data arriving while no buffer is queued is held (up to a few seconds) and goes into the
// next buffers queued, so a late buffer thread or a source that hands out seconds at once loses nothing.
//
// After the stream or the server failed, every queued buffer has gone back with what it held; Start, Stop and
// AddBuffer then answer MMSYSERR_NODRIVER (MMSYSERR_BADDEVICEID when only the source went, or the server moved
// the stream to another), while Reset and Close still succeed so the owner can close.
class PulseWaveInDevice final : public WaveInDevice {
    struct Key {
        explicit Key() = default;
    };

  public:
    // Opens a corked record stream on the source `sourceName` in `format` (a recordable one) and posts
    // MM_WIM_OPEN once it is ready. A result code; `device` is set only on success.
    static int Open(std::shared_ptr<PulseConnection> connection, std::shared_ptr<ProblemNote> problems,
                    const std::string& sourceName, const WAVEFORMATEX& format, WaveInCallback callback,
                    std::unique_ptr<WaveInDevice>& device);

    PulseWaveInDevice(Key, std::shared_ptr<PulseConnection> connection, std::shared_ptr<ProblemNote> problems,
                      const WAVEFORMATEX& format, WaveInCallback callback);
    // Disconnects without further messages (those already posted still come); buffers still queued are never
    // written again.
    ~PulseWaveInDevice() override;

    int Prepare(WAVEHDR& header) override;
    int Unprepare(WAVEHDR& header) override;
    int AddBuffer(WAVEHDR& header) override;
    int Start() override;
    int Stop() override;
    int Reset() override;
    int Close() override;
    int GetPosition(MMTIME& time) override;

    // Bytes that arrived while no buffer was queued and nothing more could be held.
    std::uint64_t DroppedBytes() const;

  private:
    enum class State { Open, Failed, Closed };

    static void OnStreamState(pa_stream* stream, void* self);
    static void OnStreamRead(pa_stream* stream, std::size_t bytes, void* self);
    static void OnStreamMoved(pa_stream* stream, void* self);

    // These need the loop locked.
    int Connect(const std::string& sourceName);
    void Disconnect();
    int SetCorked(bool corked);
    int Flush();
    bool StreamAlive() const;
    // Moves what the server has sent into the queued buffers (or discards it).
    void ReadAvailable(bool keep);
    // Hands back every queued buffer and refuses further recording.
    void Fail(const std::string& problem);
    void HandBack(const std::vector<WAVEHDR*>& headers);
    void PostMessage(std::uint32_t message, WAVEHDR* header);
    // Answers a call once the stream broke: hands everything back, then the result code of `error`.
    int Broken(int error);

    // These need mutex_. A null `data` is a hole in the stream: silence.
    void Store(const std::uint8_t* data, std::size_t size, std::vector<WAVEHDR*>& done);
    // Copies what fits into the first queued buffer and hands it on when full; the bytes taken.
    std::size_t Fill(const std::uint8_t* data, std::size_t size, std::vector<WAVEHDR*>& done);
    // Moves what is held into the queued buffers.
    void DrainHeld(std::vector<WAVEHDR*>& done);
    // Counts `bytes` just copied into the first queued buffer; a full one leaves the queue for `done`.
    void Filled(std::size_t bytes, std::vector<WAVEHDR*>& done);
    // Every queued buffer, done, after the full ones what is held filled.
    std::vector<WAVEHDR*> TakeQueue();

    std::shared_ptr<PulseConnection> connection_;
    std::shared_ptr<ProblemNote> problems_;
    std::shared_ptr<const WaveInCallback> callback_;
    const WAVEFORMATEX format_;
    PaStreamPtr stream_;  // touched with the loop locked only

    // Guards what follows; taken inside the loop lock, never around it. Neither waits for the server: a call
    // waiting for its answer lets the loop lock go.
    mutable std::mutex mutex_;
    State state_ = State::Open;
    int failedResult_ = MMSYSERR_NODRIVER;  // what Start, Stop and AddBuffer answer once Failed
    std::deque<WAVEHDR*> queue_;
    std::deque<std::uint8_t> held_;  // what came while no buffer was queued, oldest first
    const std::size_t heldLimit_;
    std::uint64_t delivered_ = 0;
    std::uint64_t dropped_ = 0;
    // Between Stop and Start: the server may still send what it had under way at the cork, and a stopped device
    // records nothing.
    bool stopped_ = true;
};

}  // namespace tolm::pulse
