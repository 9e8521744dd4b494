#include "app/FreeHandPickerWindow.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

#include "app/QtConvert.h"
#include "imaging/Bitmap.h"
#include "platform/MainThread.h"
#include "selection/FreeHandWnd.h"

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

TFreeHandWindow::MouseButton ToPickerButton(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton:
            return TFreeHandWindow::MouseButton::left;
        case Qt::RightButton:
            return TFreeHandWindow::MouseButton::right;
        default:
            return TFreeHandWindow::MouseButton::middle;  // every other button only clears the hint
    }
}

Point ScreenPoint(const QMouseEvent* event) {
    const QPoint p = event->globalPosition().toPoint();
    return Point{p.x(), p.y()};
}

}  // namespace

FreeHandPickerWindow::FreeHandPickerWindow(TFreeHandWindow& picker, const Bitmap& still)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint | Qt::Tool),
      picker_(picker),
      still_(ToQImage(still)) {
    setFocusPolicy(Qt::StrongFocus);
    // The picture covers every pixel: no background erase, so nothing flickers.
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    setGeometry(0, 0, std::max(1, still.Width()), std::max(1, still.Height()));
    overlay_ = Overlay();
}

FreeHandPickerWindow::~FreeHandPickerWindow() = default;

QRect FreeHandPickerWindow::HintBox() const {
    const QString text = HintLines(picker_.Hint());
    if (text.isEmpty()) return QRect();
    const QFontMetrics metrics(font());
    const QSize size = metrics.boundingRect(QRect(0, 0, 10000, 10000), Qt::AlignLeft | Qt::AlignTop, text).size() +
                       QSize(2 * kHintPadding, 2 * kHintPadding);
    const Point at = picker_.HintPosition();
    QPoint topLeft(at.x + kHintOffset, at.y + kHintOffset);
    // Keep the box on the window: flip it to the other side of the pointer where it would run off.
    if (topLeft.x() + size.width() > width()) topLeft.setX(at.x - kHintOffset - size.width());
    if (topLeft.y() + size.height() > height()) topLeft.setY(at.y - kHintOffset - size.height());
    return QRect(topLeft, size);
}

QRegion FreeHandPickerWindow::Overlay() const {
    QRegion region;
    for (int i = 1; i <= 4; ++i) {
        const TFreeHandWindow::GuideLine& line = picker_.Shape(i);
        if (line.visible) region += ToQRect(line.bounds);
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
    picker_.SetModalResult(TFreeHandWindow::mrCancel);
}

void FreeHandPickerWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect dirty = event->rect();
    painter.fillRect(dirty, Qt::black);  // beyond the picture, if the window is larger
    painter.drawImage(dirty.topLeft(), still_, dirty);
    for (int i = 1; i <= 4; ++i) {
        const TFreeHandWindow::GuideLine& line = picker_.Shape(i);
        if (line.visible) painter.fillRect(ToQRect(line.bounds), Qt::black);
    }
    const QRect box = HintBox();
    if (box.isEmpty()) return;
    painter.fillRect(box, palette().color(QPalette::ToolTipBase));
    painter.setPen(palette().color(QPalette::ToolTipText));
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    painter.drawText(box.adjusted(kHintPadding, kHintPadding, -kHintPadding, -kHintPadding),
                     Qt::AlignLeft | Qt::AlignTop, HintLines(picker_.Hint()));
}

void RunFreeHandPickerWindow(TFreeHandWindow& picker, const Bitmap& still, MainThread& mainThread) {
    FreeHandPickerWindow window(picker, still);
    window.show();
    window.raise();
    // The engine's Escape key may be held by another program; with the keyboard here the user still has one.
    window.activateWindow();
    window.setFocus();
    window.grabKeyboard();
    mainThread.RunModal([&picker] { return picker.ModalResult() != TFreeHandWindow::mrNone; });
    window.releaseKeyboard();
    window.hide();
    if (picker.ModalResult() == TFreeHandWindow::mrNone) picker.SetModalResult(TFreeHandWindow::mrCancel);
}

}  // namespace tolm
