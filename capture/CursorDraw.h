#pragma once

#include "imaging/Bitmap.h"
#include "platform/ScreenSource.h"

namespace tolm {

// Blends the cursor's premultiplied ARGB image into a 32-bit image with its top-left corner at (x, y);
// the parts outside the image are cut off.
void DrawCursor(Bitmap& image, const CursorImage& cursor, int x, int y);

}  // namespace tolm
