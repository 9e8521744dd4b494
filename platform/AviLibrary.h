#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/VideoTypes.h"

namespace tolm {

// Return 0 to go on, -1 to stop the work.
using AviSaveProgress = std::function<int(int percent)>;

// One stream of an AVI (or WAVE) file. A stream stays usable after its file object was released.
class AviStream {
  public:
    virtual ~AviStream() = default;

    virtual AviStreamInfo Info() const = 0;

    // The stream's format: a BITMAPINFOHEADER with its colour table for video, a WAVEFORMATEX for audio.
    virtual AviResult SetFormat(std::int32_t position, const void* format, std::size_t size) = 0;
    virtual std::vector<std::uint8_t> Format() const = 0;

    // Writes `samples` samples at `start`. Video positions skipped since the last write stay empty, so the
    // file keeps its timeline.
    virtual AviResult Write(std::int32_t start, std::int32_t samples, const void* data, std::size_t size,
                            std::uint32_t flags) = 0;

    // Reads the sample at `position` of a stream opened for reading; an empty sample (a skipped video
    // position) gives no bytes. AVIERR_NODATA past the end.
    virtual AviResult Read(std::int32_t position, std::vector<std::uint8_t>& data, std::uint32_t& flags) = 0;

    // Reads from `position` on the samples that lie together in the file, at most `maxSamples`: one frame of
    // video (none for a skipped position), a run of sound blocks; `samples` says how many positions the call
    // covered. A stream that cannot tell reads one sample, as Read does.
    virtual AviResult ReadChunk(std::int64_t position, std::int64_t /*maxSamples*/, std::vector<std::uint8_t>& data,
                                std::uint32_t& flags, std::int64_t& samples) {
        samples = 1;
        return Read(static_cast<std::int32_t>(position), data, flags);
    }

    // Ends the writes to a stream that hands them on later (a compressing stream's queue): what it still holds is
    // written, and no write is taken after it. `progress` (may be empty) hears how far that is, 0 to 99, a few
    // times a second while it lasts, and may stop it; without it the wait has a time limit of its own. Returns
    // how many frames at the end were left out, stopped or because the compressor no longer finished any; 0
    // for a stream that writes at once.
    virtual std::int64_t FinishWrites(const AviSaveProgress& /*progress*/) { return 0; }

    // A write that waits for room in such a stream returns at once, its frame taken beyond the usual depth,
    // and so do the writes after it: they are about to end (a stop), and a slow compressor must not hold that.
    virtual void StopWaitingForRoom() {}
};

// An open AVI file.
class AviFile {
  public:
    virtual ~AviFile() = default;

    virtual AviResult CreateStream(const AviStreamInfo& info, std::shared_ptr<AviStream>& stream) = 0;
    // The index-th stream of type fccType (0: any type).
    virtual AviResult GetStream(std::uint32_t fccType, std::int32_t index, std::shared_ptr<AviStream>& stream) = 0;

    // Completes a file opened for writing (headers, index) once its streams are done; the result says
    // whether the file on disk is whole. Reading files have nothing to complete.
    virtual AviResult Finish() = 0;
};

enum class AviOpenMode { read, create };

// The AVI services: files, compressed streams and the save that joins streams into one file.
class AviLibrary {
  public:
    virtual ~AviLibrary() = default;

    // Version of the services: major in the high 16 bits, minor in the low.
    virtual std::uint32_t Version() const = 0;

    virtual AviResult OpenFile(const std::string& path, AviOpenMode mode, std::unique_ptr<AviFile>& file) = 0;

    // A stream that compresses what is written to it with `options` and passes it on to `target`.
    virtual AviResult MakeCompressedStream(std::shared_ptr<AviStream> target, const AviCompressOptions& options,
                                           std::shared_ptr<AviStream>& compressed) = 0;

    // Writes the streams, in order, into a new file at `path`; a stream whose options name a compressor is
    // compressed on the way. options[i] may be null: copy stream i as it is.
    virtual AviResult Save(const std::string& path, const std::vector<std::shared_ptr<AviStream>>& streams,
                           const std::vector<const AviCompressOptions*>& options, const AviSaveProgress& progress) = 0;

    // Puts a file written through OpenFile and finished without fault at `path` as it is, which is what Save
    // would write from its one stream without options. `path` is replaced at once, never half-written, and
    // `from` is gone. Only within one file system: on any failure both stay as they were, for Save to copy.
    virtual AviResult MoveFile(const std::string& from, const std::string& path) = 0;

    // Whether Save can write video compressed by `fccHandler` (0: uncompressed frames of `bitCount` bits) into
    // a file at `path`, whose name's ending says what kind of file it is. A library that writes only AVI
    // files takes every codec.
    virtual bool FileTakes(const std::string& /*path*/, std::uint32_t /*fccHandler*/, int /*bitCount*/) const {
        return true;
    }

    // What the last failed Save or MoveFile of the calling thread knows beyond its result: the file and the
    // system's reason ("" when there is nothing more to say).
    virtual std::string LastProblem() const { return {}; }
};

}  // namespace tolm
