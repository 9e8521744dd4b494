#include "audio/WaveStreamAdapter.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "audio/LittleEndian.h"
#include "audio/StreamChannel.h"
#include "audio/WaveContainer.h"
#include "audio/scWaveUtils.h"
#include "imaging/Utf8Path.h"

namespace tolm {

TWaveStreamAdapter::TWaveStreamAdapter(ByteStream& stream) : stream_(&stream) {}

TWaveStreamAdapter::TWaveStreamAdapter(std::unique_ptr<ByteStream> stream)
    : ownedStream_(std::move(stream)), stream_(ownedStream_.get()) {
    if (!stream_) throw std::invalid_argument("a wave stream adapter needs a stream");
}

TWaveStreamAdapter::~TWaveStreamAdapter() {
    // Listeners are not told about an object on its way out.
    OnChanging = nullptr;
    OnChange = nullptr;
    if (state_ == TWaveStreamState::wssWriting) {
        FinishWriting();
    } else if (state_ == TWaveStreamState::wssReading) {
        FinishReading();
    }
}

bool TWaveStreamAdapter::Fail(std::string text) {
    lastError_ = std::move(text);
    return false;
}

std::string TWaveStreamAdapter::InvalidText() const {
    if (state_ == TWaveStreamState::wssWriting) return "the wave is being written";
    return "not a valid wave (" + invalidReason_ + ")";
}

bool TWaveStreamAdapter::FailInvalid(const std::string& action) {
    return Fail(action + ": " + InvalidText());
}

bool TWaveStreamAdapter::Assign(TWaveStreamAdapter& source) {
    if (&source == this) return RefreshInfo();
    try {
        source.Stream().Seek(0, TSeekOrigin::soBeginning);
    } catch (const EStreamError& e) {
        return Fail(std::string("cannot rewind the source: ") + e.what());
    }
    return LoadFromStream(source.Stream());
}

bool TWaveStreamAdapter::RefreshInfo() {
    if (!stale_ || state_ == TWaveStreamState::wssWriting) return valid_;
    stale_ = false;
    waveFormat_.reset();
    WaveInfo info;
    std::string why;
    valid_ = ReadWaveInfo(*stream_, info, why);
    if (valid_) {
        waveFormat_ = std::make_unique<WaveFormatBlock>(std::move(info.format));
        dataSize_ = info.dataSize;
        dataOffset_ = info.dataOffset;
    } else {
        dataSize_ = 0;
        dataOffset_ = 0;
        invalidReason_ = why;
        lastError_ = InvalidText();
    }
    NotifyChanged();
    return valid_;
}

bool TWaveStreamAdapter::LockData(LockedWaveData& data, bool ForceCopy) {
    data.Release();
    if (!RefreshInfo()) return FailInvalid("cannot lock the audio");
    if (dataSize_ == 0) return Fail("the wave holds no audio");
    const std::uint64_t end = static_cast<std::uint64_t>(dataOffset_) + dataSize_;
    try {
        // Checked before allocating: a damaged data size must not ask for gigabytes.
        if (end > stream_->Size()) return Fail("the stream holds fewer audio bytes than its data chunk announces");
        auto* memory = dynamic_cast<MemoryStream*>(stream_);
        if (!ForceCopy && memory != nullptr) {
            data.SetView(this, memory->Memory() + dataOffset_, dataSize_);
            return true;
        }
        std::vector<std::uint8_t> copy(dataSize_);
        stream_->Seek(dataOffset_, TSeekOrigin::soBeginning);
        if (stream_->Read(copy.data(), copy.size()) != copy.size()) {
            return Fail("the stream ended inside the audio data");
        }
        data.SetCopy(this, std::move(copy));
        return true;
    } catch (const EStreamError& e) {
        return Fail(std::string("cannot read the audio: ") + e.what());
    } catch (const std::bad_alloc&) {
        return Fail("out of memory for " + std::to_string(dataSize_) + " bytes of audio");
    }
}

bool TWaveStreamAdapter::UnlockData(LockedWaveData& data, bool WriteBack) {
    if (!data.Locked() || data.owner_ != this) return Fail("the data was not locked by this wave");
    if (data.Direct()) {
        data.Release();
        return true;
    }
    bool written = true;
    if (WriteBack) {
        try {
            stream_->Seek(dataOffset_, TSeekOrigin::soBeginning);
            stream_->Write(data.Data(), data.Size());
        } catch (const EStreamError& e) {
            written = Fail(std::string("cannot write the audio back: ") + e.what());
        }
    }
    data.Release();
    return written;
}

std::uint32_t TWaveStreamAdapter::MillisecondsToBytes(std::uint32_t milliseconds) {
    const PWaveFormatEx format = WaveFormat();
    return format ? tolm::MillisecondsToBytes(format->Record(), milliseconds) : 0;
}

void TWaveStreamAdapter::NotifyChanging() {
    const bool wasStale = stale_;
    stale_ = true;
    valid_ = false;
    if (!wasStale && OnChanging) OnChanging(*this);
}

void TWaveStreamAdapter::NotifyChanged() {
    if (OnChange) OnChange(*this);
}

bool TWaveStreamAdapter::SameContent(TWaveStreamAdapter& other) {
    if (!SameFormatAs(other) || DataSize() != other.DataSize()) return false;
    if (&other == this || DataSize() == 0) return true;
    LockedWaveData mine;
    LockedWaveData theirs;
    if (!LockData(mine, false) || !other.LockData(theirs, false)) return false;
    return std::equal(mine.Data(), mine.Data() + mine.Size(), theirs.Data());
}

bool TWaveStreamAdapter::SameFormatAs(TWaveStreamAdapter& other) {
    const PWaveFormatEx format = other.WaveFormat();
    return format != nullptr && HasFormat(*format);
}

bool TWaveStreamAdapter::HasFormat(const WaveFormatBlock& format) {
    return RefreshInfo() && waveFormat_ && *waveFormat_ == format;
}

bool TWaveStreamAdapter::LoadFromStream(ByteStream& source) {
    NotifyChanging();
    writer_.reset();
    reader_.reset();
    state_ = TWaveStreamState::wssIdle;
    bool copied = true;
    try {
        const std::uint64_t position = source.Position();
        const std::uint64_t size = source.Size();
        const std::uint64_t count = size > position ? size - position : 0;
        if (&source == stream_) {
            // Loading a stream's own tail: read it out before overwriting the start.
            std::vector<std::uint8_t> rest(static_cast<std::size_t>(count));
            source.ReadBuffer(rest.data(), rest.size());
            stream_->Seek(0, TSeekOrigin::soBeginning);
            stream_->Write(rest.data(), rest.size());
        } else {
            stream_->Seek(0, TSeekOrigin::soBeginning);
            stream_->CopyFrom(source, count);
        }
        stream_->SetSize(count);
    } catch (const EStreamError& e) {
        copied = Fail(std::string("cannot load the wave: ") + e.what());
    } catch (const std::bad_alloc&) {
        copied = Fail("out of memory while loading the wave");
    }
    const bool valid = RefreshInfo();
    if (copied && !valid) return FailInvalid("the loaded stream is of no use");
    return copied && valid;
}

bool TWaveStreamAdapter::SaveToStream(ByteStream& target) {
    if (&target == stream_) return Fail("cannot save a wave into its own stream");
    try {
        stream_->Seek(0, TSeekOrigin::soBeginning);
        target.CopyFrom(*stream_, stream_->Size());
        return true;
    } catch (const EStreamError& e) {
        return Fail(std::string("cannot save the wave: ") + e.what());
    }
}

bool TWaveStreamAdapter::LoadFromFile(const std::string& fileName) {
    try {
        FileStream file(fileName, TFileMode::fmOpenRead);
        return LoadFromStream(file);
    } catch (const EStreamError& e) {
        return Fail(e.what());
    }
}

bool TWaveStreamAdapter::SaveToFile(const std::string& fileName) {
    // Creating the file empties it, so saving over our own file would lose the wave.
    if (const auto* own = dynamic_cast<const FileStream*>(stream_)) {
        std::error_code error;
        if (std::filesystem::equivalent(Utf8Path(own->FileName()), Utf8Path(fileName), error)) {
            return Fail("cannot save a wave over its own file \"" + fileName + "\"");
        }
    }
    try {
        FileStream file(fileName, TFileMode::fmCreate);
        return SaveToStream(file);
    } catch (const EStreamError& e) {
        return Fail(e.what());
    }
}

bool TWaveStreamAdapter::Clear() {
    NotifyChanging();
    writer_.reset();
    reader_.reset();
    state_ = TWaveStreamState::wssIdle;
    bool cleared = true;
    try {
        stream_->SetSize(0);
    } catch (const EStreamError& e) {
        cleared = Fail(std::string("cannot empty the stream: ") + e.what());
    }
    NotifyChanged();
    return cleared;
}

void TWaveStreamAdapter::MarkStale() {
    stale_ = true;
}

bool TWaveStreamAdapter::TrimStream() {
    if (state_ == TWaveStreamState::wssWriting) return Fail("cannot trim while writing");
    // An invalid stream is left alone rather than cut to nothing.
    if (!RefreshInfo()) return FailInvalid("cannot trim the stream");
    const std::uint64_t end = static_cast<std::uint64_t>(dataOffset_) + dataSize_ + (dataSize_ & 1u);
    try {
        if (stream_->Size() > end) stream_->SetSize(end);
        return true;
    } catch (const EStreamError& e) {
        return Fail(std::string("cannot trim the stream: ") + e.what());
    }
}

bool TWaveStreamAdapter::StartWriting(const WaveFormatBlock& format) {
    if (state_ == TWaveStreamState::wssReading) return Fail("cannot start writing: a read is in progress");
    if (state_ == TWaveStreamState::wssWriting) return Fail("cannot start writing: a write is already in progress");
    auto writer = std::make_unique<WaveChunkWriter>(*stream_);
    if (!writer->Start(format)) {
        NotifyChanging();  // the stream may already be emptied
        return Fail("cannot write the wave header: " + writer->LastError());
    }
    writer_ = std::move(writer);
    state_ = TWaveStreamState::wssWriting;
    dataOffset_ = static_cast<std::uint32_t>(writer_->DataOffset());
    NotifyChanging();
    return true;
}

bool TWaveStreamAdapter::FinishWriting() {
    if (state_ != TWaveStreamState::wssWriting) return Fail("cannot finish writing: no write is in progress");
    bool finished = writer_->Finish();
    if (!finished) lastError_ = "cannot complete the wave container: " + writer_->LastError();
    const std::string finishError = lastError_;
    writer_.reset();
    state_ = TWaveStreamState::wssIdle;
    stale_ = true;
    const bool valid = RefreshInfo();
    if (!finished) {
        lastError_ = finishError;
        return false;
    }
    return valid || FailInvalid("the finished container does not read back");
}

std::int64_t TWaveStreamAdapter::WriteData(const void* buffer, std::size_t count) {
    if (state_ != TWaveStreamState::wssWriting) {
        Fail("cannot write audio: no write is in progress");
        return -1;
    }
    const std::int64_t written = writer_->Write(buffer, count);
    if (written < 0 || static_cast<std::size_t>(written) < count) {
        lastError_ = "cannot write audio: " + writer_->LastError();
    }
    return written;
}

bool TWaveStreamAdapter::UnwriteData(std::uint64_t count) {
    if (state_ != TWaveStreamState::wssWriting) return Fail("cannot take audio back: no write is in progress");
    if (!writer_->Unwrite(count)) return Fail("cannot take audio back: " + writer_->LastError());
    return true;
}

bool TWaveStreamAdapter::UpdateSizes() {
    if (state_ != TWaveStreamState::wssWriting) return Fail("cannot update the sizes: no write is in progress");
    const std::uint64_t dataSize = writer_->DataBytesWritten();
    // WaveChunkWriter::Write keeps the audio within what the RIFF size field can count.
    const std::uint64_t riffSize = writer_->DataOffset() - 8 + dataSize;
    if (riffSize > 0xFFFFFFFFu) return Fail("cannot update the sizes: the container is larger than 4 GiB");
    std::uint8_t field[4];
    try {
        const std::uint64_t position = stream_->Position();
        PutLE32(field, static_cast<std::uint32_t>(riffSize));
        stream_->Seek(4, TSeekOrigin::soBeginning);
        stream_->Write(field, sizeof field);
        PutLE32(field, static_cast<std::uint32_t>(dataSize));
        stream_->Seek(static_cast<std::int64_t>(writer_->DataOffset() - 4), TSeekOrigin::soBeginning);
        stream_->Write(field, sizeof field);
        stream_->Seek(static_cast<std::int64_t>(position), TSeekOrigin::soBeginning);
    } catch (const EStreamError& e) {
        return Fail(std::string("cannot update the sizes: ") + e.what());
    }
    return true;
}

bool TWaveStreamAdapter::StartReading() {
    if (state_ == TWaveStreamState::wssReading) return Fail("cannot start reading: a read is already in progress");
    if (state_ == TWaveStreamState::wssWriting) return Fail("cannot start reading: a write is in progress");
    if (!RefreshInfo()) return FailInvalid("cannot start reading");
    auto channel = std::make_unique<StreamChannel>(*stream_);
    if (!channel->Open() || !channel->SeekTo(dataOffset_)) {
        return Fail("cannot start reading: " + channel->LastError());
    }
    reader_ = std::move(channel);
    readEnd_ = static_cast<std::uint64_t>(dataOffset_) + dataSize_;
    state_ = TWaveStreamState::wssReading;
    return true;
}

bool TWaveStreamAdapter::FinishReading() {
    if (state_ != TWaveStreamState::wssReading) return Fail("cannot finish reading: no read is in progress");
    reader_.reset();
    state_ = TWaveStreamState::wssIdle;
    return true;
}

std::int64_t TWaveStreamAdapter::ReadData(void* buffer, std::size_t count) {
    if (state_ != TWaveStreamState::wssReading) {
        Fail("cannot read audio: no read is in progress");
        return -1;
    }
    // Whatever follows the data chunk is not audio.
    const std::uint64_t offset = reader_->Offset();
    const std::uint64_t left = offset < readEnd_ ? readEnd_ - offset : 0;
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(count, left));
    if (n == 0) return 0;
    const std::int64_t got = reader_->Read(buffer, n);
    if (got < 0) lastError_ = "cannot read audio: " + reader_->LastError();
    return got;
}

bool TWaveStreamAdapter::Valid() {
    return RefreshInfo();
}

PWaveFormatEx TWaveStreamAdapter::WaveFormat() {
    return RefreshInfo() ? waveFormat_.get() : nullptr;
}

std::uint32_t TWaveStreamAdapter::DataSize() {
    return RefreshInfo() ? dataSize_ : 0;
}

std::uint32_t TWaveStreamAdapter::DataOffset() {
    return RefreshInfo() ? dataOffset_ : 0;
}

std::uint32_t TWaveStreamAdapter::Length() {
    return RefreshInfo() && waveFormat_ ? BytesToMilliseconds(waveFormat_->Record(), dataSize_) : 0;
}

}  // namespace tolm
