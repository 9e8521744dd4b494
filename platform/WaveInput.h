#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/WaveTypes.h"

namespace tolm {

// Result codes of the wave device layer (0 = success).
inline constexpr int MMSYSERR_NOERROR = 0;
inline constexpr int MMSYSERR_ERROR = 1;
inline constexpr int MMSYSERR_BADDEVICEID = 2;
inline constexpr int MMSYSERR_NOTENABLED = 3;
inline constexpr int MMSYSERR_ALLOCATED = 4;
inline constexpr int MMSYSERR_INVALHANDLE = 5;
inline constexpr int MMSYSERR_NODRIVER = 6;
inline constexpr int MMSYSERR_NOMEM = 7;
inline constexpr int MMSYSERR_NOTSUPPORTED = 8;
inline constexpr int MMSYSERR_INVALFLAG = 10;
inline constexpr int MMSYSERR_INVALPARAM = 11;
inline constexpr int WAVERR_BADFORMAT = 32;
inline constexpr int WAVERR_STILLPLAYING = 33;
inline constexpr int WAVERR_UNPREPARED = 34;

// The device's default (mixing) input.
inline constexpr int WAVE_MAPPER = -1;

// Messages a device hands back to its owner's delivery channel.
inline constexpr std::uint32_t MM_WOM_OPEN = 0x3BB;
inline constexpr std::uint32_t MM_WOM_CLOSE = 0x3BC;
inline constexpr std::uint32_t MM_WOM_DONE = 0x3BD;
inline constexpr std::uint32_t MM_WIM_OPEN = 0x3BE;
inline constexpr std::uint32_t MM_WIM_CLOSE = 0x3BF;
inline constexpr std::uint32_t MM_WIM_DATA = 0x3C0;

inline constexpr std::uint32_t WHDR_DONE = 0x01;
inline constexpr std::uint32_t WHDR_PREPARED = 0x02;
inline constexpr std::uint32_t WHDR_INQUEUE = 0x10;

// One buffer lent to a device. The owner keeps it alive and unmoved from AddBuffer until the device hands it
// back with MM_WIM_DATA (filled, or partly filled after Stop/Reset).
struct WAVEHDR {
    std::uint8_t* lpData = nullptr;
    std::uint32_t dwBufferLength = 0;
    std::uint32_t dwBytesRecorded = 0;
    std::uintptr_t dwUser = 0;
    std::uint32_t dwFlags = 0;
    std::uint32_t dwLoops = 0;
    WAVEHDR* lpNext = nullptr;
    std::uintptr_t reserved = 0;
};

// Bits of WaveInCaps::dwFormats: the twelve standard formats, lowest bit first 11.025 kHz mono 8 bit, stereo
// 8 bit, mono 16 bit, stereo 16 bit, then the same four at 22.05 kHz and at 44.1 kHz.
inline constexpr std::uint32_t WAVE_FORMAT_1M08 = 0x0001;
inline constexpr std::uint32_t WAVE_FORMAT_4S16 = 0x0800;

struct WaveInCaps {
    std::string productName;  // at most 31 characters
    std::uint32_t dwFormats = 0;
    std::uint16_t wChannels = 0;
};

inline constexpr std::uint32_t TIME_MS = 0x01;
inline constexpr std::uint32_t TIME_SAMPLES = 0x02;
inline constexpr std::uint32_t TIME_BYTES = 0x04;
inline constexpr std::uint32_t TIME_SMPTE = 0x08;

// A device position in the form the caller asked for (the device may answer in another form).
struct MMTIME {
    std::uint32_t wType = TIME_MS;
    std::uint32_t value = 0;                             // milliseconds, samples or bytes
    std::uint8_t hour = 0, min = 0, sec = 0, frame = 0;  // TIME_SMPTE
};

// Receives the device's messages: MM_WIM_OPEN and MM_WIM_CLOSE with no header, MM_WIM_DATA with the header
// handed back. Called on a thread of the device's own; it must only queue the message and return.
using WaveInCallback = std::function<void(std::uint32_t message, WAVEHDR* header)>;

// One open input device. Every call returns a result code. Closing (Close, or destroying the object) while
// buffers are still queued fails with WAVERR_STILLPLAYING; Reset hands them all back first.
class WaveInDevice {
  public:
    virtual ~WaveInDevice() = default;

    virtual int Prepare(WAVEHDR& header) = 0;    // sets WHDR_PREPARED
    virtual int Unprepare(WAVEHDR& header) = 0;  // WAVERR_STILLPLAYING while queued
    // Queues a prepared, empty buffer (WAVERR_UNPREPARED otherwise).
    virtual int AddBuffer(WAVEHDR& header) = 0;
    // Starts filling queued buffers with input; a stopped device records nothing.
    virtual int Start() = 0;
    // Stops; the buffer being filled is handed back with what it holds, empty ones stay queued.
    virtual int Stop() = 0;
    // Stops and hands back every queued buffer, the one being filled with what it holds.
    virtual int Reset() = 0;
    // Closes the device; MM_WIM_CLOSE follows.
    virtual int Close() = 0;
    virtual int GetPosition(MMTIME& time) = 0;
};

// The machine's wave input devices.
class WaveInService {
  public:
    virtual ~WaveInService() = default;

    virtual unsigned DeviceCount() = 0;
    virtual int GetCaps(int deviceId, WaveInCaps& caps) = 0;
    // Asks whether the device records in this format, without opening it.
    virtual int QueryFormat(int deviceId, const WaveFormatBlock& format) = 0;
    // Opens the device in this format; MM_WIM_OPEN reaches `callback` once the device is ready.
    virtual int Open(int deviceId, const WaveFormatBlock& format, WaveInCallback callback,
                     std::unique_ptr<WaveInDevice>& device) = 0;
    // The text of a result code, saying what the user can do about it where that is known.
    virtual std::string ErrorText(int code) = 0;
};

}  // namespace tolm
