#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/WaveInput.h"

namespace tolm {

// The calls of the wave input layer, for scripting failures and counting calls.
enum class FakeWaveCall {
    GetCaps,
    QueryFormat,
    Open,
    Prepare,
    Unprepare,
    AddBuffer,
    Start,
    Stop,
    Reset,
    Close,
    GetPosition,
};

struct FakeWaveInState;

// A scripted wave input service with one device open at a time. The test plays the sound card: Feed fills
// the queued buffers in order while the device is started and hands back each full one with MM_WIM_DATA,
// all on the calling thread. Everything is thread-safe.
class FakeWaveInService final : public WaveInService {
  public:
    // One device, "Fake Wave In", with every standard format; every PCM format is accepted.
    FakeWaveInService();
    ~FakeWaveInService() override;

    void SetDeviceCount(unsigned count);
    void SetCaps(const WaveInCaps& caps);
    // The formats QueryFormat and Open accept; empty (the default) accepts every PCM format.
    void SetSupportedFormats(std::vector<WAVEFORMATEX> formats);
    // The next `times` calls of that kind fail with `code`; -1: every call until ClearFailures.
    void FailCall(FakeWaveCall call, int code, int times = -1);
    void ClearFailures();
    void SetErrorText(int code, std::string text);
    // Reset stops the device but keeps its buffers, as a device that never hands them back.
    void SetKeepBuffersOnReset(bool keep);
    // The form GetPosition answers in, whatever was asked (TIME_MS by default).
    void SetPositionForm(std::uint32_t wType);

    // Fills queued buffers while the device is open and started; returns the bytes taken. Bytes nobody has
    // a buffer for are lost, as on a real card.
    std::size_t Feed(std::span<const std::uint8_t> bytes);
    std::size_t Feed(std::size_t count, std::uint8_t value);
    // Waits up to `timeoutMs` until the open device holds at least `count` buffers.
    bool WaitForQueued(std::size_t count, int timeoutMs);
    // The same, and the device started: what a recording looks like once its first Feed can land.
    bool WaitForRecording(std::size_t count, int timeoutMs);

    bool IsOpen() const;
    bool IsStarted() const;
    std::size_t QueuedCount() const;
    int CallCount(FakeWaveCall call) const;
    // The format of the last successful open.
    std::optional<WaveFormatBlock> OpenFormat() const;
    // Buffers still queued when a device object was destroyed without closing.
    std::size_t BuffersDroppedByDestroy() const;

    unsigned DeviceCount() override;
    int GetCaps(int deviceId, WaveInCaps& caps) override;
    int QueryFormat(int deviceId, const WaveFormatBlock& format) override;
    int Open(int deviceId, const WaveFormatBlock& format, WaveInCallback callback,
             std::unique_ptr<WaveInDevice>& device) override;
    std::string ErrorText(int code) override;

  private:
    std::shared_ptr<FakeWaveInState> state_;
};

// One open of the fake service's device.
class FakeWaveInDevice final : public WaveInDevice {
  public:
    FakeWaveInDevice(std::shared_ptr<FakeWaveInState> state, std::uint64_t openId);
    ~FakeWaveInDevice() override;

    int Prepare(WAVEHDR& header) override;
    int Unprepare(WAVEHDR& header) override;
    int AddBuffer(WAVEHDR& header) override;
    int Start() override;
    int Stop() override;
    int Reset() override;
    int Close() override;
    int GetPosition(MMTIME& time) override;

  private:
    std::shared_ptr<FakeWaveInState> state_;
    std::uint64_t openId_;
};

}  // namespace tolm
