#include "app/QtOverlayWindow.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

#include "app/QtConvert.h"

namespace tolm {

QtOverlayWindow::QtOverlayWindow()
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
                           Qt::X11BypassWindowManagerHint | Qt::Tool) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    // Every pixel the shape leaves is painted by paintEvent; no background pass, no flicker.
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

QtOverlayWindow::~QtOverlayWindow() = default;

Size QtOverlayWindow::TextExtent(const std::string& text) {
    const QFontMetrics metrics(font());
    return Size{metrics.horizontalAdvance(QString::fromStdString(text)), metrics.height()};
}

void QtOverlayWindow::SetBounds(const Rect& screen) {
    // A window has at least one pixel each way; the shape decides what shows.
    setGeometry(screen.left, screen.top, std::max(1, screen.width), std::max(1, screen.height));
}

void QtOverlayWindow::SetShape(const std::vector<Rect>& shape) {
    const QRegion region = ToQRegion(shape);
    shapeEmpty_ = region.isEmpty();
    if (!shapeEmpty_) setMask(region);
    Present();
}

void QtOverlayWindow::Paint(const std::string& caption, TColor captionText, TColor captionBack, const Rect& frame,
                            TColor frameColor) {
    painting_ = Painting{true,
                         QString::fromStdString(caption),
                         ToQColor(captionText),
                         ToQColor(captionBack),
                         ToQRect(frame),
                         ToQColor(frameColor)};
    update();
}

void QtOverlayWindow::ShowOnTop() {
    showing_ = true;
    Present();
    if (isVisible()) raise();
}

void QtOverlayWindow::Hide() {
    showing_ = false;
    Present();
}

void QtOverlayWindow::Present() {
    const bool visible = showing_ && !shapeEmpty_;
    if (visible && !isVisible()) show();
    if (!visible && isVisible()) hide();
}

std::uint64_t QtOverlayWindow::NativeId() const {
    return static_cast<std::uint64_t>(winId());
}

void QtOverlayWindow::paintEvent(QPaintEvent*) {
    if (!painting_.done) return;
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const QRect strip(0, 0, metrics.horizontalAdvance(painting_.caption), metrics.height());
    painter.fillRect(strip, painting_.back);
    painter.setPen(painting_.text);
    painter.setFont(font());
    painter.drawText(strip, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, painting_.caption);
    painter.fillRect(painting_.frame, painting_.frameColor);
}

}  // namespace tolm
