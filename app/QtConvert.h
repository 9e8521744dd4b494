#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QRegion>

#include <vector>

#include "imaging/Color.h"
#include "imaging/Geometry.h"

namespace tolm {

class Bitmap;

// The program's colours are 0x00BBGGRR, red in the low byte.
QColor ToQColor(TColor color);
QRect ToQRect(const Rect& r);
// The union of the rectangles; empty ones add nothing.
QRegion ToQRegion(const std::vector<Rect>& rects);
// An opaque copy of the picture in any of the program's pixel formats.
QImage ToQImage(const Bitmap& bitmap);

}  // namespace tolm
