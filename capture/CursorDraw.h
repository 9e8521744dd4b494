#pragma once

#include "imaging/PixelRows.h"
#include "platform/ScreenSource.h"

namespace tolm {

// Blends the cursor's premultiplied ARGB image into 32-bit pixel rows with its top-left corner at (x, y);
// the parts outside the rows are cut off.
void DrawCursor(const PixelRows& image, const CursorImage& cursor, int x, int y);

}  // namespace tolm
