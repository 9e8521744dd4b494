#pragma once

#include <QImage>
#include <QRect>

#include "imaging/Geometry.h"

namespace tolm {

class Bitmap;

QRect ToQRect(const Rect& r);
// An opaque copy of the picture in any of the program's pixel formats.
QImage ToQImage(const Bitmap& bitmap);

}  // namespace tolm
