#pragma once

#include <memory>

#include "platform/AviLibrary.h"
#include "platform/ffmpeg/CompressorRegistry.h"
#include "platform/ffmpeg/QueuedStream.h"

namespace tolm::ffmpeg {

// The AVI services over libavformat's AVI muxer and demuxer. Thread-safe; files and streams are separate
// objects that may be used on separate threads.
class FfmpegAviLibrary final : public AviLibrary {
  public:
    // Without a registry (the compressor manager is not ours) nothing can be compressed. `queue`: how the
    // compressed streams' queues behave (tests make their encoders slow with it).
    explicit FfmpegAviLibrary(std::shared_ptr<const CompressorRegistry> registry, const QueueOptions& queue = {});

    std::uint32_t Version() const override;
    AviResult OpenFile(const std::string& path, AviOpenMode mode, std::unique_ptr<AviFile>& file) override;
    AviResult MakeCompressedStream(std::shared_ptr<AviStream> target, const AviCompressOptions& options,
                                   std::shared_ptr<AviStream>& compressed) override;
    AviResult Save(const std::string& path, const std::vector<std::shared_ptr<AviStream>>& streams,
                   const std::vector<const AviCompressOptions*>& options, const AviSaveProgress& progress) override;
    AviResult MoveFile(const std::string& from, const std::string& path) override;
    bool FileTakes(const std::string& path, std::uint32_t fccHandler, int bitCount) const override;
    std::string LastProblem() const override;

  private:
    std::shared_ptr<const CompressorRegistry> registry_;
    QueueOptions queue_;
};

}  // namespace tolm::ffmpeg
