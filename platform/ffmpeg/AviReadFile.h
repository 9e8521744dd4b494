#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/AviLibrary.h"
#include "platform/ffmpeg/AvHandles.h"

namespace tolm::ffmpeg {

// An AVI or WAVE file opened for reading. Each stream taken from it reads on its own.
class AviReadFile final : public AviFile {
  public:
    static AviResult Open(const std::string& path, std::unique_ptr<AviFile>& out);
    AviReadFile(std::string path, AvInputContextPtr ctx);

    AviResult CreateStream(const AviStreamInfo& info, std::shared_ptr<AviStream>& stream) override;
    AviResult GetStream(std::uint32_t fccType, std::int32_t index, std::shared_ptr<AviStream>& stream) override;
    AviResult Finish() override;

  private:
    std::string path_;
    std::vector<std::uint32_t> types_;  // stream type of each stream of the file (0: neither video nor audio)
    std::mutex mutex_;
    AvInputContextPtr spare_;  // the opening's demuxer, handed to the first stream taken
};

}  // namespace tolm::ffmpeg
