#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/AviLibrary.h"

namespace tolm {

// AVI services that keep the streams in memory, with failures on request. Files are still created on disk,
// and a file being written grows by the bytes written to it, so the engine's file handling (deletion,
// existence, permissions, sizes, renames) meets real files.
class FakeAviLibrary final : public AviLibrary {
  public:
    struct Sample {
        std::vector<std::uint8_t> bytes;
        std::uint32_t flags = 0;
    };
    struct StreamData {
        AviStreamInfo info;
        std::vector<std::uint8_t> format;
        std::map<std::int32_t, Sample> samples;
        std::uint32_t compressedWith = 0;  // handler of the compressed stream that wrote it
    };
    struct FileData {
        std::vector<std::shared_ptr<StreamData>> streams;
        bool finished = false;
        std::vector<std::uint32_t> saveHandlers;  // per stream of a saved file: the compressor of the save
    };

    std::uint32_t Version() const override { return version; }
    AviResult OpenFile(const std::string& path, AviOpenMode mode, std::unique_ptr<AviFile>& file) override;
    AviResult MakeCompressedStream(std::shared_ptr<AviStream> target, const AviCompressOptions& options,
                                   std::shared_ptr<AviStream>& compressed) override;
    AviResult Save(const std::string& path, const std::vector<std::shared_ptr<AviStream>>& streams,
                   const std::vector<const AviCompressOptions*>& options, const AviSaveProgress& progress) override;
    // Renames the file on disk and takes its streams along.
    AviResult MoveFile(const std::string& from, const std::string& path) override;

    // What was written at `path`, or nullptr.
    std::shared_ptr<FileData> File(const std::string& path) const;
    // Makes a file that can be opened for reading, as a recorder of another stream would leave it.
    void AddFile(const std::string& path, std::shared_ptr<FileData> data);

    // Knobs for the next calls.
    std::uint32_t version = 0x010A0000;
    AviResult createStreamResult = AVIERR_OK;
    AviResult compressResult = AVIERR_OK;
    AviResult setFormatResult = AVIERR_OK;
    AviResult finishResult = AVIERR_OK;
    std::int32_t failWriteAt = -1;     // position whose write fails with AVIERR_FILEWRITE
    AviResult saveResult = AVIERR_OK;  // of a save, moved or copied
    AviResult moveResult = AVIERR_OK;  // anything else: the move fails and changes nothing
    int moves = 0;                     // files moved into place
    // Frames the next compressed stream still holds when its writes are finished (an encoder behind), and
    // how many of them it then leaves out (an encoder stuck).
    std::int64_t pendingAtFinish = 0;
    std::int64_t leftOutAtFinish = 0;
    // How often a compressed stream was told to stop waiting for room.
    std::atomic<int> stopWaitsHeard{0};
    std::vector<int> progressSteps{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100};

  private:
    friend class FakeAviStream;
    friend class FakeAviFile;
    // A file renamed on disk since it was made is found under its new name. Under the lock.
    void FollowRename(const std::string& path);
    mutable std::mutex mutex_;
    std::map<std::string, std::shared_ptr<FileData>> files_;
    std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> identities_;  // device and inode of each
};

}  // namespace tolm
