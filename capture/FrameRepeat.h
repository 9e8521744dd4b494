#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "effects/FilterValues.h"
#include "imaging/Geometry.h"
#include "imaging/PixelFormat.h"
#include "platform/ScreenSource.h"

namespace tolm {

// What a frame is made of besides the screen's pixels and the cursor.
struct FrameRecipe {
    Rect area;
    TPixelFormat colors = TPixelFormat::pf32bit;
    std::uint16_t filters = 0;  // inversion included
    std::array<std::int32_t, 10> values{};
    TScreenRotate rotate = TScreenRotate::RLeft;
    bool cursor = false;
    // Noise or an overlay: the frame differs every time it is made.
    bool varies = false;
    friend bool operator==(const FrameRecipe&, const FrameRecipe&) = default;
};

// Tells the capture loop when a position may repeat the frame before it instead of grabbing and encoding
// the same picture again: when neither the recipe, the screen under the area nor the cursor drawn on it
// changed. Asked once per position, right before the grab it may save.
class TFrameRepeat {
  public:
    // True when the frame made now would equal the one made at the previous call.
    bool Unchanged(ScreenSource& screen, const FrameRecipe& recipe);

  private:
    // The cursor as it would be drawn into `area`: nothing when hidden, unknown or outside the area.
    static std::optional<CursorImage> DrawnCursor(ScreenSource& screen, const Rect& area);
    static bool SameCursor(const std::optional<CursorImage>& a, const std::optional<CursorImage>& b);

    std::optional<FrameRecipe> last_;
    std::optional<CursorImage> lastCursor_;
};

}  // namespace tolm
