// Numbers drawn as seven-segment digits, readable in a recording without any font.
#pragma once

#include "SceneBoxes.h"

#include <functional>

namespace tolm::scene {

// Width of one digit cell (gap included) for a digit height.
int SevenSegmentCellWidth(int digitHeight);

// Appends `value` as `digits` zero-padded digits (higher digits are cut off) with its top-left at (x, y).
void AppendSevenSegmentNumber(BoxList& out, long value, int digits, int x, int y, int digitHeight, uint32_t rgb);

// Whether the picture is lit at (x, y).
using SegmentProbe = std::function<bool(int x, int y)>;

// Reads back what AppendSevenSegmentNumber drew with the same place and size: the number, or -1 when a cell shows
// no digit (a picture without the number, or one torn between two).
long ReadSevenSegmentNumber(const SegmentProbe& lit, int digits, int x, int y, int digitHeight);

}  // namespace tolm::scene
