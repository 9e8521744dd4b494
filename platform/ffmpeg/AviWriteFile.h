#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/AviLibrary.h"
#include "platform/ffmpeg/AviMuxer.h"

namespace tolm::ffmpeg {

// One stream of a file being written; it keeps the file's muxer alive.
class AviWriteStream final : public AviStream {
  public:
    AviWriteStream(std::shared_ptr<AviMuxer> muxer, int index);

    AviStreamInfo Info() const override;
    AviResult SetFormat(std::int32_t position, const void* format, std::size_t size) override;
    std::vector<std::uint8_t> Format() const override;
    AviResult Write(std::int32_t start, std::int32_t samples, const void* data, std::size_t size,
                    std::uint32_t flags) override;
    AviResult Read(std::int32_t position, std::vector<std::uint8_t>& data, std::uint32_t& flags) override;

    const std::shared_ptr<AviMuxer>& Muxer() const { return muxer_; }
    // A frame whose bytes the file may change while writing them.
    AviResult WriteInPlace(std::int32_t start, std::uint8_t* data, std::size_t size, std::uint32_t flags);

  private:
    std::shared_ptr<AviMuxer> muxer_;
    int index_;
};

// A new AVI file opened for writing.
class AviWriteFile final : public AviFile {
  public:
    static AviResult Create(const std::string& path, std::unique_ptr<AviFile>& out);
    explicit AviWriteFile(std::shared_ptr<AviMuxer> muxer);

    AviResult CreateStream(const AviStreamInfo& info, std::shared_ptr<AviStream>& stream) override;
    AviResult GetStream(std::uint32_t fccType, std::int32_t index, std::shared_ptr<AviStream>& stream) override;
    AviResult Finish() override;

  private:
    std::shared_ptr<AviMuxer> muxer_;
    std::mutex mutex_;
    std::vector<std::shared_ptr<AviStream>> streams_;
};

}  // namespace tolm::ffmpeg
