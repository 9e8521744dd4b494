#include "app/FreeHandPickerWindow.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "app/QtConvert.h"
#include "imaging/Bitmap.h"
#include "platform/FreeHandPicker.h"
#include "platform/MainThread.h"

namespace tolm {
namespace {

constexpr int kHintOffset = 16;  // from the pointer, clear of the cursor image
constexpr int kHintPadding = 3;

// The picker breaks lines with line feed + carriage return.
QString HintLines(const std::string& hint) {
    QString text = QString::fromStdString(hint);
    text.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    text.remove(QLatin1Char('\r'));
    return text;
}

FreeHandPicker::MouseButton ToPickerButton(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton:
            return FreeHandPicker::MouseButton::left;
        case Qt::RightButton:
            return FreeHandPicker::MouseButton::right;
        default:
            return FreeHandPicker::MouseButton::middle;  // every other button only clears the hint
    }
}

}  // namespace

FreeHandPickerWindow::FreeHandPickerWindow(FreeHandPicker& picker, const Bitmap& still)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint | Qt::Tool),
      picker_(picker),
      still_(ToQImage(still)) {
    setFocusPolicy(Qt::StrongFocus);
    // The picture covers every pixel: no background erase, so nothing flickers.
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    // Qt sizes windows in logical pixels; the picture is the root's own pixels.
    setGeometry(ToLogical(Rect{0, 0, std::max(1, still.Width()), std::max(1, still.Height())}));
    overlay_ = Overlay();
}

FreeHandPickerWindow::~FreeHandPickerWindow() = default;

QRect FreeHandPickerWindow::ToLogical(const Rect& device) const {
    const qreal scale = devicePixelRatio();
    return QRectF(device.left / scale, device.top / scale, device.width / scale, device.height / scale).toAlignedRect();
}

// The window lies at the root's origin, so its own device pixels are the root's. Its scene position, unlike the
// widget position Qt rounds to whole logical pixels, keeps the pointer's exact place.
Point FreeHandPickerWindow::ScreenPoint(const QMouseEvent* event) const {
    const QPointF device = event->scenePosition() * devicePixelRatio();
    return Point{static_cast<int>(std::lround(device.x())), static_cast<int>(std::lround(device.y()))};
}

QRect FreeHandPickerWindow::HintBox() const {
    const QString text = HintLines(picker_.Hint());
    if (text.isEmpty()) return QRect();
    const QFontMetrics metrics(font());
    const QSize size = metrics.boundingRect(QRect(0, 0, 10000, 10000), Qt::AlignLeft | Qt::AlignTop, text).size() +
                       QSize(2 * kHintPadding, 2 * kHintPadding);
    const QPoint at = ToLogical(Rect{picker_.HintPosition().x, picker_.HintPosition().y, 0, 0}).topLeft();
    QPoint topLeft(at.x() + kHintOffset, at.y() + kHintOffset);
    // Keep the box on the window: flip it to the other side of the pointer where it would run off.
    if (topLeft.x() + size.width() > width()) topLeft.setX(at.x() - kHintOffset - size.width());
    if (topLeft.y() + size.height() > height()) topLeft.setY(at.y() - kHintOffset - size.height());
    return QRect(topLeft, size);
}

QRegion FreeHandPickerWindow::Overlay() const {
    QRegion region;
    for (int i = 1; i <= 4; ++i) {
        const FreeHandPicker::GuideLine& line = picker_.Shape(i);
        if (line.visible) region += ToLogical(line.bounds);
    }
    return region + HintBox();
}

void FreeHandPickerWindow::Refresh() {
    const QRegion now = Overlay();
    update(overlay_ + now);
    overlay_ = now;
}

void FreeHandPickerWindow::mousePressEvent(QMouseEvent* event) {
    picker_.FormMouseDown(ToPickerButton(event->button()), event->modifiers().testFlag(Qt::ControlModifier),
                          ScreenPoint(event));
    Refresh();
}

void FreeHandPickerWindow::mouseMoveEvent(QMouseEvent* event) {
    picker_.FormMouseMove(ScreenPoint(event));
    Refresh();
}

void FreeHandPickerWindow::mouseReleaseEvent(QMouseEvent* event) {
    picker_.FormMouseUp(ScreenPoint(event));
    Refresh();
}

void FreeHandPickerWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Escape) return QWidget::keyPressEvent(event);
    picker_.SetModalResult(FreeHandPicker::mrCancel);
}

void FreeHandPickerWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect dirty = event->rect();
    painter.fillRect(dirty, Qt::black);  // beyond the picture, if the window is larger
    // The picture and the guide lines in device pixels, one to one with the root's.
    const qreal scale = devicePixelRatio();
    painter.save();
    painter.scale(1 / scale, 1 / scale);
    const QRect deviceDirty = QRectF(QPointF(dirty.topLeft()) * scale, QSizeF(dirty.size()) * scale).toAlignedRect();
    painter.drawImage(deviceDirty.topLeft(), still_, deviceDirty);
    for (int i = 1; i <= 4; ++i) {
        const FreeHandPicker::GuideLine& line = picker_.Shape(i);
        if (line.visible) painter.fillRect(ToQRect(line.bounds), Qt::black);
    }
    painter.restore();
    const QRect box = HintBox();
    if (box.isEmpty()) return;
    painter.fillRect(box, palette().color(QPalette::ToolTipBase));
    painter.setPen(palette().color(QPalette::ToolTipText));
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    painter.drawText(box.adjusted(kHintPadding, kHintPadding, -kHintPadding, -kHintPadding),
                     Qt::AlignLeft | Qt::AlignTop, HintLines(picker_.Hint()));
}

void RunFreeHandPickerWindow(FreeHandPicker& picker, const Bitmap& still, MainThread& mainThread) {
    FreeHandPickerWindow window(picker, still);
    window.show();
    window.raise();
    // The engine's Escape key may be held by another program; with the keyboard here the user still has one.
    window.activateWindow();
    window.setFocus();
    window.grabKeyboard();
    mainThread.RunModal([&picker] { return picker.ModalResult() != FreeHandPicker::mrNone; });
    window.releaseKeyboard();
    window.hide();
    if (picker.ModalResult() == FreeHandPicker::mrNone) picker.SetModalResult(FreeHandPicker::mrCancel);
}

}  // namespace tolm
