// Numbers drawn as seven-segment digits, readable in a recording without any font.
#pragma once

#include "SceneBoxes.h"

namespace tolm::scene {

// Width of one digit cell (gap included) for a digit height.
int SevenSegmentCellWidth(int digitHeight);

// Appends `value` as `digits` zero-padded digits (higher digits are cut off) with its top-left at (x, y).
void AppendSevenSegmentNumber(BoxList& out, long value, int digits, int x, int y, int digitHeight, uint32_t rgb);

}  // namespace tolm::scene
