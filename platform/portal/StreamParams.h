#pragma once

#include <spa/pod/builder.h>

namespace tolm::portal {

// The video formats we read: 32-bit RGB in any byte order, any size, any rate up to 120 frames a second.
const spa_pod* BuildFormatParam(spa_pod_builder* builder);

// Once the format is agreed: buffers in shared memory only (never DMA-BUF, which we would have to import),
// plus the header metadata, and the cursor metadata when `pointerMetadata`. Fills `params`, returns how many.
int BuildBufferParams(spa_pod_builder* builder, bool pointerMetadata, const spa_pod* params[3]);

}  // namespace tolm::portal
