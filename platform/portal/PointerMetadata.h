#pragma once

#include <spa/buffer/buffer.h>

#include "platform/portal/FrameStore.h"

namespace tolm::portal {

// Reads a buffer's cursor metadata into `update`: the position when the buffer has some, the image only when
// it changed. False when the buffer says nothing new about the pointer. Sizes and offsets are checked against
// the metadata's own size, so a malformed one is ignored.
bool ReadPointerMetadata(const spa_buffer* buffer, PointerUpdate& update);

}  // namespace tolm::portal
