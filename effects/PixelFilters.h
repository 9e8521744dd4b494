#pragma once

#include <cstdint>

#include "imaging/Bitmap.h"

namespace tolm {

// The per-channel effects. Each works in place on the rows of an 8-, 16-, 24- or 32-bit frame. In 32-bit
// frames saturation, grey scale, sepia and colour adjust walk whole pixels (the fourth byte untouched);
// every other filter, and every filter on 8/16/24-bit frames, walks the row as consecutive byte triples
// (blue, green, red), so in 32-bit frames the fourth bytes are treated as colour bytes. A walk never
// touches bytes past a row's stored bytes.

// False for an absent frame and for 1280-pixel-wide frames of 8 or 16 bits.
bool EffectsAllowed(const Bitmap* frame);

void ApplyBrightness(Bitmap& frame, std::int32_t v);
void ApplyContrast(Bitmap& frame, std::int32_t v);
void ApplyDarkness(Bitmap& frame, std::int32_t v);
void ApplySaturation(Bitmap& frame, std::int32_t v);
void ApplyColorNoise(Bitmap& frame, std::int32_t n);
void ApplyMonoNoise(Bitmap& frame, std::int32_t n);
// p must be at least 1; smaller values leave the frame unchanged.
void ApplyPosterize(Bitmap& frame, std::int32_t p);
void ApplyColorAdjust(Bitmap& frame, std::int32_t r, std::int32_t g, std::int32_t b);
void ApplyGrayScale(Bitmap& frame);
void ApplySepia(Bitmap& frame);

}  // namespace tolm
