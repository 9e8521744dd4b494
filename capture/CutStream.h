#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/AviLibrary.h"

namespace tolm {

// A stream read up to `length` samples of its own: what lies beyond is left out of whatever reads it (a save).
class CutStream final : public AviStream {
  public:
    CutStream(std::shared_ptr<AviStream> inner, std::uint32_t length);

    AviStreamInfo Info() const override;
    AviResult SetFormat(std::int32_t position, const void* format, std::size_t size) override;
    std::vector<std::uint8_t> Format() const override;
    AviResult Write(std::int32_t start, std::int32_t samples, const void* data, std::size_t size,
                    std::uint32_t flags) override;
    AviResult Read(std::int32_t position, std::vector<std::uint8_t>& data, std::uint32_t& flags) override;
    AviResult ReadChunk(std::int64_t position, std::int64_t maxSamples, std::vector<std::uint8_t>& data,
                        std::uint32_t& flags, std::int64_t& samples) override;

  private:
    std::shared_ptr<AviStream> inner_;
    std::uint32_t length_;
};

}  // namespace tolm
