#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

#include "audio/scWaveRecorders.h"

namespace tolm {

// The stream of a storage item, reached through this link so that a storage destroyed during a recording
// cuts the link instead of leaving the container writing into freed memory.
class StockItemStream final : public ByteStream {
  public:
    explicit StockItemStream(ByteStream& item) : item_(&item) {}

    void Detach() { item_ = nullptr; }

    std::size_t Read(void* buffer, std::size_t count) override { return Item().Read(buffer, count); }
    void Write(const void* buffer, std::size_t count) override { Item().Write(buffer, count); }
    std::uint64_t Seek(std::int64_t offset, TSeekOrigin origin) override { return Item().Seek(offset, origin); }
    std::uint64_t Size() override { return Item().Size(); }
    void SetSize(std::uint64_t size) override { Item().SetSize(size); }

  private:
    ByteStream& Item() {
        if (item_ == nullptr) throw EStreamError("the wave storage holding this item has been destroyed");
        return *item_;
    }

    ByteStream* item_;
};

TStockAudioRecorder::TStockAudioRecorder(WaveInService* service)
    : TWaveAudioIn(service), clockDeviationPpm_(std::numeric_limits<double>::quiet_NaN()) {}

void TStockAudioRecorder::SetTimeline(std::function<TimelinePoint()> timeline) {
    auto guard = Lock();
    timeline_ = std::move(timeline);
}

TStockAudioRecorder::~TStockAudioRecorder() {
    Shutdown();
    SetStock(nullptr);
    auto guard = Lock();
    if (adapter_) FinishAdapter();
}

void TStockAudioRecorder::SetStock(TCustomWaveStorage* stock) {
    auto guard = Lock();
    if (stock == stock_) return;
    if (stock_ != nullptr) stock_->RemoveFreeNotification(stockNotification_);
    stock_ = stock;
    stockNotification_ = 0;
    if (stock_ != nullptr) {
        stockNotification_ = stock_->FreeNotification([this](TCustomWaveStorage& storage) { StockDestroyed(storage); });
    }
}

void TStockAudioRecorder::StockDestroyed(TCustomWaveStorage& storage) {
    auto guard = Lock();
    if (stock_ != &storage) return;
    stock_ = nullptr;
    stockNotification_ = 0;
    if (stockItem_ == nullptr) return;
    // The item's stream went with its storage: nothing more can be written, so the recording ends.
    stockItem_->Detach();
    try {
        if (Active() && !Closing()) CloseDevice();
    } catch (const std::exception& e) {
        ShowWaveException(e.what());
    }
}

void TStockAudioRecorder::SetActive(bool value) {
    if (value == Active()) return;
    if (value) {
        RecordToStock(0);
    } else {
        Stop();
    }
}

bool TStockAudioRecorder::RecordToFile(const std::string& fileName) {
    return RecordToAdapter(
        std::make_unique<TWaveStreamAdapter>(std::make_unique<FileStream>(fileName, TFileMode::fmCreate)), nullptr);
}

bool TStockAudioRecorder::RecordToStock(int index) {
    ByteStream* item = nullptr;
    {
        auto guard = Lock();
        if (stock_ == nullptr) throw EWaveAudioInvalidOperation("Stock property is not assigned");
        item = stock_->GetWaveStream(index);
    }
    if (item == nullptr) throw EWaveAudioInvalidOperation("Stock has no wave item " + std::to_string(index));
    auto link = std::make_unique<StockItemStream>(*item);
    StockItemStream* stockItem = link.get();
    return RecordToAdapter(std::make_unique<TWaveStreamAdapter>(std::move(link)), stockItem);
}

bool TStockAudioRecorder::RecordToStream(ByteStream& stream) {
    return RecordToAdapter(std::make_unique<TWaveStreamAdapter>(stream), nullptr);
}

bool TStockAudioRecorder::RecordToStream(std::unique_ptr<ByteStream> stream) {
    return RecordToAdapter(std::make_unique<TWaveStreamAdapter>(std::move(stream)), nullptr);
}

bool TStockAudioRecorder::RecordToAdapter(std::unique_ptr<TWaveStreamAdapter> adapter, StockItemStream* stockItem) {
    // The running recording's container is finished by its own close before the next one starts.
    if (Active()) {
        SetActive(false);
        WaitWhileClosing();
    }
    {
        auto guard = Lock();
        if (Active()) throw EWaveAudioInvalidOperation("Device is aleardy open");
        if (adapter_) FinishAdapter();
        adapter_ = std::move(adapter);
        stockItem_ = stockItem;
    }
    bool opened = false;
    try {
        opened = OpenDevice();
    } catch (...) {
        auto guard = Lock();
        if (adapter_) FinishAdapter();
        throw;
    }
    if (!opened) {
        auto guard = Lock();
        if (adapter_) FinishAdapter();
    }
    return opened;
}

bool TStockAudioRecorder::Stop() {
    // Under the lock, so a close finishing on the buffer thread cannot turn this into a wrong-state error.
    auto guard = Lock();
    if (!Active()) return false;
    return CloseDevice();
}

void TStockAudioRecorder::GetWaveFormat(std::optional<WaveFormatBlock>& format) {
    TWaveAudioIn::GetWaveFormat(format);
    // The header goes out before the device is even asked, so a refused format leaves a header-only file.
    if (format && adapter_ && !adapter_->StartWriting(*format)) throw EWaveAudioError(adapter_->LastErrorText());
    if (format) sizeUpdateBytes_ = std::max<std::uint64_t>(format->Record().nAvgBytesPerSec, 1);
    bytesSinceSizeUpdate_ = 0;
    failed_ = false;
    alignment_.reset();
    clockDeviationPpm_ = std::numeric_limits<double>::quiet_NaN();
    if (format && timeline_ && format->Record().nBlockAlign > 0) {
        alignment_ = std::make_unique<TSoundAlignment>(format->Record().nSamplesPerSec);
        blockAlign_ = format->Record().nBlockAlign;
        longestRepeat_ = format->Record().nSamplesPerSec / 100;  // 10 ms
        silence_ = format->Record().wBitsPerSample == 8 ? 0x80 : 0;
    }
}

void TStockAudioRecorder::ProcessData(const std::uint8_t* buffer, std::uint32_t count, bool& /*FreeIt*/) {
    if (!adapter_) return;
    std::uint32_t skip = 0;
    if (alignment_) {
        const std::int64_t adjust = alignment_->Adjust(count / blockAlign_, timeline_());
        clockDeviationPpm_ = alignment_->DeviationPpm();
        if (adjust > 0 && !WriteLeadIn(buffer, count, static_cast<std::uint64_t>(adjust))) return;
        if (adjust < 0) skip = static_cast<std::uint32_t>(-adjust) * blockAlign_;
    }
    if (skip < count) WriteCounted(buffer + skip, count - skip);
    // What a paused or stopped input still hands over (it had it under way, or a source delivers ahead of
    // time) has no picture to go with.
    CutToPicture();
}

bool TStockAudioRecorder::PauseDevice() {
    const bool paused = TWaveAudioIn::PauseDevice();
    auto guard = Lock();
    CutToPicture();
    return paused;
}

void TStockAudioRecorder::CutToPicture() {
    if (!alignment_ || !adapter_ || adapter_->State() != TWaveStreamState::wssWriting) return;
    const std::uint64_t frames = alignment_->CutToPicture(timeline_());
    if (frames == 0) return;
    if (!adapter_->UnwriteData(frames * blockAlign_) || !adapter_->UpdateSizes()) CheckResult(MMSYSERR_ERROR);
}

void TStockAudioRecorder::FillToPicture() {
    if (failed_ || !alignment_ || !adapter_ || adapter_->State() != TWaveStreamState::wssWriting) return;
    const std::uint64_t frames = alignment_->FillToPicture(timeline_());
    if (frames > 0) WriteSilence(frames * blockAlign_);
}

bool TStockAudioRecorder::WriteLeadIn(const std::uint8_t* buffer, std::uint32_t count, std::uint64_t frames) {
    const std::uint64_t bytes = frames * blockAlign_;
    // A few milliseconds of the block's own start are a smaller step in the sound than a gap of silence; longer
    // repeats would be heard as an echo (after a pause, say), so they are silence.
    if (bytes <= count && frames <= longestRepeat_) return WriteCounted(buffer, static_cast<std::uint32_t>(bytes));
    return WriteSilence(bytes);
}

bool TStockAudioRecorder::WriteSilence(std::uint64_t bytes) {
    constexpr std::uint64_t kChunk = 64 * 1024;
    const std::vector<std::uint8_t> silence(static_cast<std::size_t>(std::min(bytes, kChunk)), silence_);
    for (std::uint64_t left = bytes; left > 0;) {
        const auto part = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, kChunk));
        if (!WriteCounted(silence.data(), part)) return false;
        left -= part;
    }
    return true;
}

bool TStockAudioRecorder::WriteCounted(const std::uint8_t* data, std::uint32_t count) {
    const std::int64_t written = adapter_->WriteData(data, count);
    if (written < static_cast<std::int64_t>(count)) {
        CheckResult(MMSYSERR_ERROR);
        return false;
    }
    bytesSinceSizeUpdate_ += count;
    if (bytesSinceSizeUpdate_ < sizeUpdateBytes_) return true;
    bytesSinceSizeUpdate_ = 0;
    if (adapter_->UpdateSizes()) return true;
    CheckResult(MMSYSERR_ERROR);
    return false;
}

void TStockAudioRecorder::HandleInputClosed() {
    // The track ends with the last frame: what the input had not handed over by the stop (a source that
    // delivers in bursts, a block lost just before it) is silence, so the sound does not end before the picture.
    CutToPicture();
    FillToPicture();
    const bool finished = !adapter_ || FinishAdapter();
    TWaveAudioIn::HandleInputClosed();
    // A container whose sizes could not be fixed is an error of the recording, not a quiet success.
    if (!finished) CheckResult(MMSYSERR_ERROR);
}

void TStockAudioRecorder::DoError() {
    failed_ = true;
    if (!Active() && adapter_) FinishAdapter();
    TWaveAudioIn::DoError();
}

bool TStockAudioRecorder::FinishAdapter() {
    const bool finished = adapter_->State() != TWaveStreamState::wssWriting || adapter_->FinishWriting();
    adapter_.reset();
    stockItem_ = nullptr;
    return finished;
}

}  // namespace tolm
