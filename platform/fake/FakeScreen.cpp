#include "platform/fake/FakeScreen.h"

#include <algorithm>

namespace tolm {

FakeScreen::FakeScreen() : monitors_{Rect{0, 0, 1920, 1080}} {}

std::uint32_t FakeScreen::PatternColor(int x, int y) {
    const auto r = static_cast<std::uint32_t>(x * 7 + y * 3) & 0xFF;
    const auto g = static_cast<std::uint32_t>(x ^ y) & 0xFF;
    const auto b = static_cast<std::uint32_t>(x + 2 * y + 11) & 0xFF;
    return r << 16 | g << 8 | b;
}

Rect FakeScreen::DesktopLocked() const {
    Rect box = monitors_.front();
    for (const Rect& m : monitors_) {
        const int right = std::max(box.Right(), m.Right());
        const int bottom = std::max(box.Bottom(), m.Bottom());
        box.left = std::min(box.left, m.left);
        box.top = std::min(box.top, m.top);
        box.width = right - box.left;
        box.height = bottom - box.top;
    }
    return box;
}

std::uint32_t FakeScreen::ColorAtLocked(int x, int y) const {
    bool onMonitor = false;
    for (const Rect& m : monitors_)
        onMonitor = onMonitor || (x >= m.left && x < m.Right() && y >= m.top && y < m.Bottom());
    if (!onMonitor) return 0;
    for (auto it = blocks_.rbegin(); it != blocks_.rend(); ++it)
        if (x >= it->area.left && x < it->area.Right() && y >= it->area.top && y < it->area.Bottom()) return it->rgb;
    return PatternColor(x, y);
}

std::uint32_t FakeScreen::ColorAt(int x, int y) const {
    std::lock_guard lock(mutex_);
    return ColorAtLocked(x, y);
}

bool FakeScreen::Grab(const Rect& area, Bitmap& dst) {
    std::function<void(int)> hook;
    int number = 0;
    {
        std::lock_guard lock(mutex_);
        if (!connected_ || awaiting_) return false;
        number = ++grabs_;
        hook = grabHook_;
        FillLocked(area, dst);
    }
    if (hook) hook(number);
    return true;
}

void FakeScreen::SetGrabHook(std::function<void(int)> hook) {
    std::lock_guard lock(mutex_);
    grabHook_ = std::move(hook);
}

void FakeScreen::FillLocked(const Rect& area, Bitmap& dst) const {
    dst = Bitmap(area.width, area.height, TPixelFormat::pf32bit);
    for (int y = 0; y < dst.Height(); ++y) {
        std::uint8_t* row = dst.ScanLine(y);
        for (int x = 0; x < dst.Width(); ++x) {
            const std::uint32_t c = ColorAtLocked(area.left + x, area.top + y);
            row[4 * x] = static_cast<std::uint8_t>(c);
            row[4 * x + 1] = static_cast<std::uint8_t>(c >> 8);
            row[4 * x + 2] = static_cast<std::uint8_t>(c >> 16);
        }
    }
}

bool FakeScreen::AreaChanged(const Rect& area) {
    std::lock_guard lock(mutex_);
    bool changed = !asked_ || allChanged_ || alwaysChanging_;
    for (const Rect& block : changed_) changed = changed || !Intersect(block, area).Empty();
    asked_ = true;
    allChanged_ = false;
    changed_.clear();
    return changed;
}

bool FakeScreen::AwaitingFirstPicture() {
    std::lock_guard lock(mutex_);
    return awaiting_;
}

void FakeScreen::SetAwaitingFirstPicture(bool value) {
    std::lock_guard lock(mutex_);
    allChanged_ = allChanged_ || (awaiting_ && !value);
    awaiting_ = value;
}

bool FakeScreen::QueryCursor(CursorImage& cursor) {
    std::lock_guard lock(mutex_);
    if (!connected_) return false;
    cursor = cursor_;
    return true;
}

std::vector<Rect> FakeScreen::Monitors() {
    std::lock_guard lock(mutex_);
    return monitors_;
}

Rect FakeScreen::VirtualDesktop() {
    std::lock_guard lock(mutex_);
    return DesktopLocked();
}

std::string FakeScreen::LastError() const {
    std::lock_guard lock(mutex_);
    return connected_ ? std::string() : std::string("Lost the connection to the X display.");
}

void FakeScreen::SetMonitors(std::vector<Rect> monitors) {
    std::lock_guard lock(mutex_);
    if (monitors.empty()) return;
    monitors_ = std::move(monitors);
    allChanged_ = true;
}

void FakeScreen::FillRect(const Rect& area, std::uint32_t rgb) {
    std::lock_guard lock(mutex_);
    blocks_.push_back(Block{area, rgb & 0xFFFFFF});
    changed_.push_back(area);
}

void FakeScreen::SetCursor(const CursorImage& cursor) {
    std::lock_guard lock(mutex_);
    cursor_ = cursor;
}

void FakeScreen::SetAlwaysChanging(bool value) {
    std::lock_guard lock(mutex_);
    alwaysChanging_ = value;
}

void FakeScreen::Disconnect() {
    std::lock_guard lock(mutex_);
    connected_ = false;
}

int FakeScreen::GrabCount() const {
    std::lock_guard lock(mutex_);
    return grabs_;
}

}  // namespace tolm
