#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "audio/ByteStream.h"
#include "audio/LockedWaveData.h"
#include "audio/WaveFormat.h"

namespace tolm {

class AudioConverter;
class WaveChunkWriter;
class StreamChannel;

enum class TWaveStreamState : std::uint8_t { wssIdle = 0, wssReading = 1, wssWriting = 2 };

// Lays a RIFF/WAVE container over a byte stream (unit scWaveStorage): writes audio into it in one pass,
// reads back its format and data, and edits it as a whole. The container's information is cached and
// re-read when stale; while a write is open it is not re-read and reads as invalid.
//
// Failures are results (false, -1, 0); LastErrorText() says why the last failing operation failed. Writing
// and reading exclude each other. An edit that fails after it started rewriting still finishes the
// container. Not thread-safe: one thread at a time.
class TWaveStreamAdapter {
  public:
    using TNotifyEvent = std::function<void(TWaveStreamAdapter& sender)>;

    // Over a stream the caller keeps alive.
    explicit TWaveStreamAdapter(ByteStream& stream);
    // Over a stream the adapter owns and frees.
    explicit TWaveStreamAdapter(std::unique_ptr<ByteStream> stream);
    // Finishes an open write (fixing the sizes) or read first. Call FinishWriting yourself to learn whether
    // the container was completed.
    virtual ~TWaveStreamAdapter();
    TWaveStreamAdapter(const TWaveStreamAdapter&) = delete;
    TWaveStreamAdapter& operator=(const TWaveStreamAdapter&) = delete;

    // Loads a copy of the source's whole stream.
    bool Assign(TWaveStreamAdapter& source);

    // Re-reads the container when stale (not while writing); fires OnChange after each re-read.
    virtual bool RefreshInfo();
    // All audio bytes: a view into a memory stream unless ForceCopy, else a copy. Fails when invalid, empty
    // or when the stream holds fewer bytes than the data chunk announces.
    virtual bool LockData(LockedWaveData& data, bool ForceCopy);
    // Releases what LockData gave; a copy is written back first when WriteBack (true when all of it went).
    virtual bool UnlockData(LockedWaveData& data, bool WriteBack);
    // Whole blocks of the current format; 0 without a format.
    virtual std::uint32_t MillisecondsToBytes(std::uint32_t milliseconds);
    // Marks the information stale (and invalid); fires OnChanging when it was not stale yet.
    virtual void NotifyChanging();
    virtual void NotifyChanged();

    virtual bool SameContent(TWaveStreamAdapter& other);
    virtual bool SameFormatAs(TWaveStreamAdapter& other);
    virtual bool HasFormat(const WaveFormatBlock& format);
    // Replaces the stream's content by the source's bytes from its position to its end; abandons an open read
    // or write.
    virtual bool LoadFromStream(ByteStream& source);
    // Copies the whole stream to the target's position.
    virtual bool SaveToStream(ByteStream& target);
    virtual bool LoadFromFile(const std::string& fileName);
    // Creates or empties the file.
    virtual bool SaveToFile(const std::string& fileName);
    // Empties the stream and abandons an open read or write.
    virtual bool Clear();
    // Sets stale without events.
    virtual void MarkStale();
    // Cuts the stream behind the data chunk (and its pad byte); not while writing.
    virtual bool TrimStream();

    // The edits. Positions and lengths are milliseconds, turned into whole blocks (rounded down) of this
    // adapter's format, and ranges end at the data's end. Each succeeds when the whole result was written.
    virtual bool ReverseAudio();
    virtual bool ScaleVolume(int percent);
    // Rewrites the audio in `format` through `converter`, directly or through a PCM format with this audio's
    // channels and rate. True at once when the container already has that format; on failure the container
    // is left as it was.
    virtual bool ConvertTo(const WaveFormatBlock& format, AudioConverter& converter);
    // Replaces this container by the source's range [start, start + length) in the source's format.
    virtual bool CopyRange(TWaveStreamAdapter& source, std::uint32_t startMs, std::uint32_t lengthMs);
    virtual bool KeepRange(std::uint32_t startMs, std::uint32_t lengthMs);
    virtual bool DeleteRange(std::uint32_t startMs, std::uint32_t lengthMs);
    // Inserts the source's audio (same format required) at the position, clamped to the end.
    virtual bool InsertAudio(std::uint32_t positionMs, TWaveStreamAdapter& source);
    virtual bool InsertSilence(std::uint32_t positionMs, std::uint32_t lengthMs);
    virtual bool DeleteHead(std::uint32_t lengthMs);
    virtual bool DeleteTail(std::uint32_t lengthMs);
    // The members' audio one after another in the first member's format, with `gapMs` of silence between
    // members. A member that cannot be read ends the container there and gives false.
    virtual bool ConcatenateFrom(std::span<TWaveStreamAdapter* const> members, std::uint32_t gapMs);
    // The members' average, as long as the longest; all must have the first member's format.
    virtual bool MixFrom(std::span<TWaveStreamAdapter* const> members);

    // One-pass writing: StartWriting empties the stream and writes the header; WriteData appends audio and
    // returns the bytes written (fewer once the 32-bit RIFF sizes are full) or -1; FinishWriting fixes the
    // sizes and re-reads the container.
    virtual bool StartWriting(const WaveFormatBlock& format);
    virtual bool FinishWriting();
    virtual std::int64_t WriteData(const void* buffer, std::size_t count);
    // While writing: takes the last `count` bytes of audio written off again (all of it when fewer).
    bool UnwriteData(std::uint64_t count);
    // While writing: brings the RIFF and data sizes in the header up to the audio written so far, so a reader
    // (or whoever finds the file after a crash) sees a valid container; the pad byte is left to FinishWriting.
    // The stream's position is restored. False when not writing or the stream fails.
    bool UpdateSizes();
    // Reading the audio from its first byte; ReadData stops at the end of the data chunk (0), -1 when not
    // reading or when the stream fails.
    virtual bool StartReading();
    virtual bool FinishReading();
    virtual std::int64_t ReadData(void* buffer, std::size_t count);

    // The container's information, re-read first when stale.
    bool Valid();
    PWaveFormatEx WaveFormat();  // none when invalid
    std::uint32_t DataSize();    // 0 when invalid
    std::uint32_t DataOffset();  // 0 when invalid
    std::uint32_t Length();      // milliseconds, 0 when invalid

    TWaveStreamState State() const { return state_; }
    ByteStream& Stream() { return *stream_; }
    bool OwnsStream() const { return ownedStream_ != nullptr; }
    const std::string& LastErrorText() const { return lastError_; }

    TNotifyEvent OnChanging;
    TNotifyEvent OnChange;

  private:
    bool Fail(std::string text);
    bool FailInvalid(const std::string& action);
    std::string InvalidText() const;
    // Rewrites the container with `format` and the given parts of audio, one after another.
    bool Rewrite(const WaveFormatBlock& format, std::initializer_list<std::span<const std::uint8_t>> parts);
    // Byte range [first, last) of a millisecond range of `adapter`; none when the range conditions fail.
    std::optional<std::pair<std::uint32_t, std::uint32_t>> ByteRange(TWaveStreamAdapter& adapter, std::uint32_t startMs,
                                                                     std::uint32_t lengthMs);
    // The audio of `adapter` (a copy when forced); a valid wave without audio gives true and nothing locked.
    bool ReadAudio(TWaveStreamAdapter& adapter, LockedWaveData& data, bool forceCopy);
    bool WritePart(std::span<const std::uint8_t> part);
    template <typename Edit>
    bool EditInPlace(Edit edit);

    std::unique_ptr<ByteStream> ownedStream_;
    ByteStream* stream_;
    bool stale_ = true;
    bool valid_ = false;
    std::uint32_t dataSize_ = 0;
    std::uint32_t dataOffset_ = 0;
    std::unique_ptr<WaveFormatBlock> waveFormat_;
    TWaveStreamState state_ = TWaveStreamState::wssIdle;
    std::unique_ptr<WaveChunkWriter> writer_;  // while writing
    std::unique_ptr<StreamChannel> reader_;    // while reading
    std::uint64_t readEnd_ = 0;                // end of the data chunk while reading
    std::string invalidReason_;                // why the last re-read found no valid wave
    std::string lastError_;
};

}  // namespace tolm
