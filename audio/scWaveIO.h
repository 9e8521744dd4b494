#pragma once

// Unit scWaveIO: the device-independent base of a wave device component, its buffer thread, errors and events.
#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "audio/MessageQueue.h"
#include "audio/WaveFormat.h"
#include "platform/WaveInput.h"

namespace tolm {

class EWaveAudioError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A device call failed; the message is the platform's text for the code.
class EWaveAudioSysError : public EWaveAudioError {
  public:
    using EWaveAudioError::EWaveAudioError;
};

// A call in the wrong state.
class EWaveAudioInvalidOperation : public EWaveAudioError {
  public:
    using EWaveAudioError::EWaveAudioError;
};

// The application's standard exception display, which shows what escaped a device-message hook. Returns the
// display it replaces; an empty function restores the default, which writes "TOLM Screen Capture: <text>"
// to stderr.
using TWaveExceptionDisplay = std::function<void(const std::string& text)>;
TWaveExceptionDisplay SetWaveExceptionDisplay(TWaveExceptionDisplay display);
void ShowWaveException(const std::string& text);

// A set of stock PCM formats.
class TPCMFormats {
  public:
    TPCMFormats() = default;
    TPCMFormats(std::initializer_list<TPCMFormat> formats);

    void Include(TPCMFormat format);
    bool Has(TPCMFormat format) const;
    bool Empty() const { return bits_ == 0; }

    friend bool operator==(const TPCMFormats&, const TPCMFormats&) = default;

  private:
    std::uint32_t bits_ = 0;
};

class TWaveAudioIO;
class TWaveThread;

using TWaveAudioEvent = std::function<void(TWaveAudioIO& sender)>;
// Level 0..100, or -1 when the format cannot be measured.
using TWaveAudioLevelEvent = std::function<void(TWaveAudioIO& sender, int level)>;
using TWaveAudioDataEvent = std::function<void(TWaveAudioIO& sender, const std::uint8_t* buffer, std::uint32_t count)>;
// Supplies the format to open with; leaving it empty means there is none.
using TWaveAudioGetFormatEvent = std::function<void(TWaveAudioIO& sender, std::optional<WaveFormatBlock>& format)>;

// One buffer lent to the device: its header and, while the header's user word names the component, the block
// the header points into.
struct TWaveBuffer {
    WAVEHDR header;
    std::vector<std::uint8_t> block;
};

// The base of a wave device component: the buffer pool, the delivery channel of the device's messages (the
// creating thread's message queue, or a buffer thread of its own in Async mode), the open/close/pause state
// machine, level and error notification, and one re-entrant lock over all of it.
//
// Every concrete subclass calls Shutdown() first in its destructor, while its overrides still exist.
class TWaveAudioIO {
  public:
    TWaveAudioIO();
    virtual ~TWaveAudioIO();
    TWaveAudioIO(const TWaveAudioIO&) = delete;
    TWaveAudioIO& operator=(const TWaveAudioIO&) = delete;

    bool Active() const { return active_; }
    virtual void SetActive(bool value);
    bool Paused() { return GetPaused(); }
    void SetPaused(bool value);
    bool Async() const { return async_; }
    // Ignored while active.
    void SetAsync(bool value);
    std::uint16_t BufferLength() const { return bufferLength_; }
    // Milliseconds per buffer; below 10 is stored as 10.
    void SetBufferLength(std::uint16_t value);
    std::uint16_t BufferCount() const { return bufferCount_; }
    void SetBufferCount(std::uint16_t value) { bufferCount_ = value; }
    int DeviceID() const { return deviceId_; }
    int LastError() const { return lastError_; }
    std::uint32_t Position() { return GetPosition(); }
    std::string DeviceName() { return GetDeviceName(); }
    TPCMFormats DeviceFormats() { return GetDeviceFormats(); }
    int DeviceCount() { return GetDeviceCount(); }
    // How long WaitWhileClosing (and so the destructor) waits for a device to finish closing before it
    // releases the device as it stands. 5000 by default.
    int CloseWaitLimitMs() const { return closeWaitLimitMs_; }
    void SetCloseWaitLimitMs(int value) { closeWaitLimitMs_ = value; }

    virtual std::string GetErrorText(int code) = 0;
    virtual bool IsFormatSupported(const WaveFormatBlock& format) = 0;
    bool IsPCMFormatSupported(TPCMFormat format);

    // Both serve the calling thread's messages meanwhile and hold no lock.
    void WaitWhileOpening();
    void WaitWhileClosing();

    TWaveAudioEvent OnActivate;
    TWaveAudioEvent OnDeactivate;
    TWaveAudioEvent OnPause;
    TWaveAudioEvent OnResume;
    TWaveAudioEvent OnError;
    TWaveAudioLevelEvent OnLevel;
    TWaveAudioDataEvent OnData;

    // Milliseconds of a device position in any of its forms; 0 for forms without a time.
    static std::uint32_t MMTimeToMilliseconds(const MMTIME& time, const WAVEFORMATEX& format);

  protected:
    // Device-message hooks; each runs under the lock.
    virtual void HandleInputOpened() { Activated(); }
    virtual void HandleInputClosed() { Deactivated(); }
    virtual void HandleInputData(WAVEHDR* /*header*/) {}
    virtual void HandleOutputOpened() { Activated(); }
    virtual void HandleOutputClosed() { Deactivated(); }
    virtual void HandleOutputDone(WAVEHDR* /*header*/) {}
    // The device did not finish closing in time: release it as it stands, as if it had closed.
    virtual void ReleaseUnclosedDevice() { Deactivated(); }

    virtual int GetDeviceCount() = 0;
    virtual bool GetPaused() = 0;
    virtual std::string GetDeviceName() = 0;
    virtual TPCMFormats GetDeviceFormats() = 0;
    virtual std::uint32_t GetPosition() = 0;
    virtual void GetWaveFormat(std::optional<WaveFormatBlock>& format) = 0;
    virtual int ValidateDeviceID(int id) = 0;
    virtual bool OpenDevice() = 0;
    virtual bool CloseDevice() = 0;
    virtual bool PauseDevice() = 0;
    virtual bool ResumeDevice() = 0;
    virtual bool IsDeviceOpen() = 0;
    virtual void QueueBuffers() = 0;

    virtual void Activated();
    virtual void Deactivated();
    virtual void DoActivate();
    virtual void DoDeactivate();
    virtual void DoPause();
    virtual void DoResume();
    virtual void DoError();
    virtual void DoLevel(const std::uint8_t* buffer, std::uint32_t count);
    virtual void DoData(const std::uint8_t* buffer, std::uint32_t count);

    // Runs the hook of a device message under the lock; false for messages without one. An exception that
    // escapes the hook is shown and swallowed.
    bool DispatchDeviceMessage(std::uint32_t message, WAVEHDR* header);

    // Makes the delivery channel (the component becomes active) and returns the callback the device is
    // opened with; DestroyCallback ends it.
    WaveInCallback CreateCallback();
    void DestroyCallback();

    // Closes an active device, waits until it has closed (bounded, then released as it stands) and ends the
    // buffer thread. Later calls do nothing.
    void Shutdown();
    bool Destroying() const { return destroying_; }

    std::unique_lock<std::recursive_mutex> Lock();
    // LastError := code; a failure goes to DoError and gives false.
    bool CheckResult(int code);
    std::size_t HeaderCount() const { return buffers_.size(); }
    std::uint32_t BufferBytes() const;
    const WAVEFORMATEX& CurrentFormat() const { return currentFormat_; }
    void SetCurrentFormat(const WAVEFORMATEX& format);
    bool Opening() const { return opening_; }
    void SetOpening(bool value);
    bool Closing() const { return closing_; }
    void SetClosing(bool value) { closing_ = value; }

    // The user word of a header whose block the component owns.
    std::uintptr_t OwnerTag() const { return reinterpret_cast<std::uintptr_t>(this); }
    // The pool entry of a header the device handed back; none when it is not one of ours.
    TWaveBuffer* FindBuffer(const WAVEHDR* header) const;
    // Size 0 releases `buffer` (and its block when owned) and clears it. Otherwise makes `buffer` (a new
    // pool entry when none) ready to queue with a component-owned block of `size` bytes, or with the caller's
    // `external` block of `size` bytes, or with the block `adopted` hands over. False, after CheckResult(7),
    // when memory runs out.
    bool ReuseHeader(TWaveBuffer*& buffer, std::uint32_t size, std::uint8_t* external = nullptr,
                     std::vector<std::uint8_t>* adopted = nullptr);
    void ReleaseBuffer(TWaveBuffer*& buffer);
    // Releases every buffer, last first.
    void FreeAllBuffers();

    // Joins a buffer thread whose callback has gone, serving messages until it has ended.
    void JoinBufferThread();

  private:
    struct Delivery;

    // After a timed-out close: releases the device as it stands; shows what that raises.
    void AbandonDevice();

    std::shared_ptr<Delivery> delivery_;
    std::shared_ptr<MessageQueue> windowQueue_;  // the creating thread's, for Async false
    std::unique_ptr<TWaveThread> thread_;
    std::vector<std::unique_ptr<TWaveThread>> retiredThreads_;  // left by a reopen from their own hooks
    bool threadCallback_ = false;
    std::atomic<bool> async_{false};
    int deviceId_ = WAVE_MAPPER;
    std::atomic<int> lastError_{0};
    std::atomic<std::uint16_t> bufferLength_{1000};
    std::atomic<std::uint16_t> bufferCount_{2};
    std::atomic<bool> opening_{false};
    std::atomic<std::thread::id> openingThread_;
    std::atomic<bool> closing_{false};
    std::atomic<bool> active_{false};  // the callback exists
    std::atomic<bool> destroying_{false};
    bool shutDown_ = false;
    std::atomic<int> closeWaitLimitMs_{5000};
    std::vector<std::unique_ptr<TWaveBuffer>> buffers_;
    WAVEFORMATEX currentFormat_;
};

// The thread that receives a component's device messages in Async mode: it serves its own message queue at
// one step above normal priority until the quit message. The destructor joins it.
class TWaveThread {
  public:
    TWaveThread();
    ~TWaveThread();
    TWaveThread(const TWaveThread&) = delete;
    TWaveThread& operator=(const TWaveThread&) = delete;

    // The thread's own message queue; none until Ready.
    std::shared_ptr<MessageQueue> Queue();
    // Set once the thread serves its queue, reset when it stops.
    WaitableEvent& Ready() { return ready_; }
    // Makes the thread end once the messages posted so far have run (at once when it has not begun serving).
    void RequestQuit();
    bool Ended() const { return ended_; }
    std::thread::id Id() const { return thread_.get_id(); }

  private:
    void Body();

    std::mutex mutex_;
    std::shared_ptr<MessageQueue> queue_;
    bool quitRequested_ = false;
    WaitableEvent ready_{true, false};
    std::atomic<bool> ended_{false};
    std::thread thread_;  // last: starts once the rest exists
};

}  // namespace tolm
