#include "capture/FrameRepeat.h"

namespace tolm {

bool TFrameRepeat::Unchanged(ScreenSource& screen, const FrameRecipe& recipe) {
    // Both are asked every time, so each answer covers exactly the time since the previous one.
    const bool screenChanged = screen.AreaChanged(recipe.area);
    std::optional<CursorImage> cursor = recipe.cursor ? DrawnCursor(screen, recipe.area) : std::nullopt;
    const bool same = last_ && *last_ == recipe && !recipe.varies && !screenChanged && SameCursor(cursor, lastCursor_);
    last_ = recipe;
    lastCursor_ = std::move(cursor);
    return same;
}

std::optional<CursorImage> TFrameRepeat::DrawnCursor(ScreenSource& screen, const Rect& area) {
    // A cursor that cannot be queried is not drawn either.
    CursorImage cursor;
    if (!screen.QueryCursor(cursor) || !cursor.visible) return std::nullopt;
    const Rect footprint{cursor.position.x - cursor.hotspot.x, cursor.position.y - cursor.hotspot.y, cursor.width,
                         cursor.height};
    if (Intersect(footprint, area).Empty()) return std::nullopt;
    return cursor;
}

bool TFrameRepeat::SameCursor(const std::optional<CursorImage>& a, const std::optional<CursorImage>& b) {
    if (!a || !b) return !a && !b;
    return a->position == b->position && a->hotspot == b->hotspot && a->width == b->width && a->height == b->height &&
           a->argb == b->argb;
}

}  // namespace tolm
