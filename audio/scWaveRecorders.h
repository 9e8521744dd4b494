#pragma once

// Unit scWaveRecorders: the recorder that writes what it records into a wave container.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "audio/ByteStream.h"
#include "audio/CustomWaveStorage.h"
#include "audio/SoundAlignment.h"
#include "audio/WaveStreamAdapter.h"
#include "audio/scWaveIn.h"

namespace tolm {

class StockItemStream;

// Records into a wave container over a file it creates, a stream it is given, or an item of a wave storage
// (Stock). The container's header is written when the device is opened, its sizes are brought up to date
// about every second while recording and fixed when the device has closed, after the last buffer was written.
class TStockAudioRecorder : public TWaveAudioIn {
  public:
    explicit TStockAudioRecorder(WaveInService* service);
    // Stops a recording and waits until the device has closed, so the container is complete afterwards.
    ~TStockAudioRecorder() override;

    TCustomWaveStorage* Stock() const { return stock_; }
    // Not owned; cleared when the storage is destroyed.
    void SetStock(TCustomWaveStorage* stock);

    // True records into item 0 of Stock, false stops.
    void SetActive(bool value) override;

    // Creates or empties the file and records into it. Raises EStreamError when the file cannot be created.
    bool RecordToFile(const std::string& fileName);
    // Raises EWaveAudioInvalidOperation without Stock or when Stock has no such item.
    bool RecordToStock(int index);
    // Records into a stream the caller keeps alive until the recording has closed.
    bool RecordToStream(ByteStream& stream);
    bool RecordToStream(std::unique_ptr<ByteStream> stream);
    // Closes the device; the container is finished once the buffers still out have come back and been
    // written. False when there is no recording to stop or the device refuses.
    bool Stop();

    // Holds the sound to the picture's timeline, which `timeline` reads on the buffer thread; set before the
    // recording opens. Without one the sound is written as the input hands it over.
    void SetTimeline(std::function<TimelinePoint()> timeline);
    // How far the input's clock runs from the system clock (ppm, positive: fast); NaN while unknown.
    double ClockDeviationPpm() const { return clockDeviationPpm_.load(); }

  protected:
    bool PauseDevice() override;
    void HandleInputClosed() override;
    void GetWaveFormat(std::optional<WaveFormatBlock>& format) override;
    void DoError() override;
    void ProcessData(const std::uint8_t* buffer, std::uint32_t count, bool& FreeIt) override;

    // Ends a running recording, then records into the container `adapter` lays over its stream.
    virtual bool RecordToAdapter(std::unique_ptr<TWaveStreamAdapter> adapter, StockItemStream* stockItem);

  private:
    // Writes `frames` frames ahead of a block: its own first frames when few, else silence.
    bool WriteLeadIn(const std::uint8_t* buffer, std::uint32_t count, std::uint64_t frames);
    bool WriteSilence(std::uint64_t bytes);
    bool WriteCounted(const std::uint8_t* data, std::uint32_t count);
    // Takes what the track holds beyond the picture's last frame off again, while the picture stands.
    void CutToPicture();
    // At the stop: makes up with silence what the track lacks up to the picture's last frame.
    void FillToPicture();
    // Finishes and frees the container; false when its sizes could not be fixed.
    bool FinishAdapter();
    void StockDestroyed(TCustomWaveStorage& storage);

    std::unique_ptr<TWaveStreamAdapter> adapter_;  // while a recording is open
    StockItemStream* stockItem_ = nullptr;         // the adapter's stream when it records into Stock
    // The header's sizes are brought up to date after about every second of audio, so a killed recorder
    // leaves a readable file.
    std::uint64_t sizeUpdateBytes_ = 1;
    std::uint64_t bytesSinceSizeUpdate_ = 0;
    TCustomWaveStorage* stock_ = nullptr;
    int stockNotification_ = 0;
    std::function<TimelinePoint()> timeline_;
    std::unique_ptr<TSoundAlignment> alignment_;  // for the open recording, when there is a timeline
    std::uint16_t blockAlign_ = 0;
    std::uint64_t longestRepeat_ = 0;  // frames of a block repeated ahead of it at most
    std::uint8_t silence_ = 0;
    // An error during the recording (the input lost, a failed write): its track ends where it broke off.
    std::atomic<bool> failed_ = false;
    std::atomic<double> clockDeviationPpm_;
};

}  // namespace tolm
