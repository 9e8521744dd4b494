#pragma once

// Unit scWaveIn: the wave input device component.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/scWaveIO.h"
#include "platform/WaveInput.h"

namespace tolm {

// Records from the service's default input: opens it in PCMFormat (or the format OnFormat supplies), keeps
// BufferCount buffers of BufferLength milliseconds queued and hands every filled one to ProcessData.
// Without a service (a machine without sound) there are no devices and every device call fails with
// MMSYSERR_NODRIVER.
class TWaveAudioIn : public TWaveAudioIO {
  public:
    explicit TWaveAudioIn(WaveInService* service);
    ~TWaveAudioIn() override;

    TPCMFormat PCMFormat() const { return pcmFormat_; }
    // Raises EWaveAudioInvalidOperation when the format would change while the device is open.
    void SetPCMFormat(TPCMFormat value);

    // The platform's text, at most 255 characters.
    std::string GetErrorText(int code) override;
    bool IsFormatSupported(const WaveFormatBlock& format) override;

    // Queues a block of the caller's, which must stay alive and untouched until the device hands it back.
    bool QueueExternalBuffer(std::uint8_t* buffer, std::uint32_t count);
    // Queues a block the component takes over.
    bool QueueExternalBuffer(std::vector<std::uint8_t> block);

    // Asked for the format when PCMFormat is nonePCM.
    TWaveAudioGetFormatEvent OnFormat;

  protected:
    void HandleInputOpened() override;
    void HandleInputClosed() override;
    void HandleInputData(WAVEHDR* header) override;
    void ReleaseUnclosedDevice() override;

    int GetDeviceCount() override;
    bool GetPaused() override { return paused_; }
    std::string GetDeviceName() override;
    TPCMFormats GetDeviceFormats() override;
    std::uint32_t GetPosition() override;
    void GetWaveFormat(std::optional<WaveFormatBlock>& format) override;
    int ValidateDeviceID(int id) override;
    bool OpenDevice() override;
    bool CloseDevice() override;
    bool PauseDevice() override;
    bool ResumeDevice() override;
    bool IsDeviceOpen() override { return device_ != nullptr; }
    void QueueBuffers() override;

    // Prepares (unless prepared) and queues the buffer; a failure unprepares what this call prepared.
    bool QueueHeader(TWaveBuffer& buffer);
    // Every filled buffer. The block stays the component's and is queued again, unless the hook sets FreeIt
    // to false: then the block is handed to BlockKept and the buffer gets a new one.
    virtual void ProcessData(const std::uint8_t* buffer, std::uint32_t count, bool& FreeIt);
    // Receives a block ProcessData kept; it is the receiver's from now on.
    virtual void BlockKept(std::vector<std::uint8_t>&& block);

    WaveInService* Service() const { return service_; }

  private:
    // Steps 1-3 of the buffer cycle: hand the data on, then queue the buffer again or release it.
    void RecycleBuffer(TWaveBuffer*& buffer);
    // The last step: a closing device whose buffers have all come back is closed.
    void CloseWhenDrained();
    bool QueueExternal(std::uint32_t count, std::uint8_t* external, std::vector<std::uint8_t>* adopted);

    WaveInService* service_;
    std::unique_ptr<WaveInDevice> device_;
    std::atomic<bool> paused_{false};
    std::atomic<TPCMFormat> pcmFormat_{TPCMFormat::Mono16bit8000Hz};
};

}  // namespace tolm
