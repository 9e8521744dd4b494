#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/portal/FrameStore.h"

namespace tolm::portal {

// A PipeWire video stream read on PipeWire's own thread into a FrameStore: the newest picture in shared
// memory is converted and kept, older ones are given back at once.
class PipeWireStream {
  public:
    struct Parts;  // the thread loop, context, core and stream, with their listeners

    // Connects over `fd` (taken over, closed in every case) to `node`. With `pointerMetadata` the pointer is
    // read from the buffers' cursor metadata. Null with `error` set when PipeWire refuses.
    static std::unique_ptr<PipeWireStream> Open(int fd, std::uint32_t node, bool pointerMetadata, FrameStore& store,
                                                std::string& error);
    explicit PipeWireStream(std::unique_ptr<Parts> parts);
    ~PipeWireStream();
    PipeWireStream(const PipeWireStream&) = delete;
    PipeWireStream& operator=(const PipeWireStream&) = delete;

  private:
    std::unique_ptr<Parts> parts_;
};

}  // namespace tolm::portal
