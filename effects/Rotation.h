#pragma once

#include "imaging/Bitmap.h"

namespace tolm {

// Turns `source` by `angleDegrees` (90: counter-clockwise on screen, 270: clockwise) into `destination`,
// which becomes a 32-bit image of the turned size. Pixel centres are mapped in doubled coordinates, so
// odd sizes lose a row or column to black rather than being resampled. An empty source leaves
// `destination` untouched.
void RotateBitmap(const Bitmap& source, Bitmap& destination, double angleDegrees);

// A quarter turn of the 32-bit `picture` (clockwise or not) that keeps its size: the turned picture is scaled to
// fit (each pixel the nearest), centred, black beside it, every fourth byte 0; a square is turned exactly.
// `scratch` keeps the unturned copy from one frame to the next. Other formats and empty pictures stay as they are.
void TurnQuarterToFit(Bitmap& picture, bool clockwise, Bitmap& scratch);

// Mirrors in place: mode 0 left to right, 1 top to bottom, 2 both (a half turn). Other modes do nothing.
void FlipBitmap(Bitmap& bitmap, int mode);

}  // namespace tolm
