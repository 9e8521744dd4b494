#include <QEvent>
#include <QGuiApplication>
#include <QMoveEvent>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTimer>
#include <QWindow>
#include <QWindowStateChangeEvent>

#include "app/Backdrop.h"
#include "app/MainWindow.h"
#include "app/PictureButton.h"
#include "app/WindowPlacement.h"

namespace tolm {
namespace {

// The window manager's frame round the client area, as far as it has told it yet. Asked of the window itself:
// the widget's own copy can stay behind what the window manager said last.
QMargins FrameOf(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    return handle ? handle->frameMargins() : QMargins();
}

QSize Extent(const QMargins& m) {
    return QSize(m.left() + m.right(), m.top() + m.bottom());
}

Rect ToRect(const QRect& r) {
    return Rect{r.x(), r.y(), r.width(), r.height()};
}

}  // namespace

void TfrmMain::SetUpScrolling() {
    scroller_ = new QScrollArea(this);
    scroller_->setObjectName(QStringLiteral("MainScroller"));
    scroller_->setFrameShape(QFrame::NoFrame);
    scroller_->setWidgetResizable(false);
    scroller_->setWidget(ImageMain);
    setCentralWidget(scroller_);
}

int TfrmMain::LayoutWidth() const {
    return ImageMain->width();
}

void TfrmMain::SetLayoutWidth(int width) {
    ImageMain->setFixedSize(width, kClientHeight);
    ButtonHelp->setGeometry(HelpButtonGeometry(width));
    FitToScreen(OuterPosition());
}

QPoint TfrmMain::OuterPosition() const {
    const QMargins frame = FrameOf(*this);
    return geometry().topLeft() - QPoint(frame.left(), frame.top());
}

void TfrmMain::FitToScreen(const QPoint& wanted) {
    const QMargins margins = FrameOf(*this);
    const QSize frame = Extent(margins);
    const QSize layout(LayoutWidth(), kClientHeight);
    const QRect outer(wanted, layout + frame);
    const QScreen* place = QGuiApplication::screenAt(outer.center());
    if (!place) place = screen();
    if (!place) {
        setFixedSize(layout);
        return;
    }
    const QRect free = place->availableGeometry();
    // Where one side is cut, the other makes room for that side's scroll bar if it can.
    const QSize room = free.size() - frame;
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroller_);
    QSize client = layout;
    if (layout.height() > room.height()) client.rwidth() += bar;
    if (layout.width() > room.width()) client.rheight() += bar;
    setFixedSize(client.boundedTo(room));
    const Rect fitted =
        FitOnScreen(Rect{wanted.x(), wanted.y(), width() + frame.width(), height() + frame.height()}, ToRect(free));
    placedAt_ = QPoint(fitted.left, fitted.top);
    setGeometry(QRect(placedAt_ + QPoint(margins.left(), margins.top()), size()));
}

void TfrmMain::PlaceOnFirstShow() {
    const QScreen* s = screen();
    const QPoint centre = s ? s->availableGeometry().center() : QPoint();
    FitToScreen(centre - QRect(QPoint(), QSize(LayoutWidth(), kClientHeight) + Extent(FrameOf(*this))).center());
    // A window manager adds its frame after the window shows (above the client area, which stays put), and
    // tells no move: the fit is made again when the window first shows with its frame.
    settleFrame_ = true;
    if (QWindow* window = windowHandle()) window->installEventFilter(this);
}

// Until the frame is known the window system takes a place for the client area's: the place meant for the frame
// is asked for again.
void TfrmMain::SettleFrame() {
    if (!settleFrame_ || FrameOf(*this).isNull()) return;
    settleFrame_ = false;
    FitToScreen(placedAt_);
}

void TfrmMain::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    KeepChoicesSoon();
}

void TfrmMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    const bool wasMinimized = static_cast<QWindowStateChangeEvent*>(event)->oldState() & Qt::WindowMinimized;
    if (isMinimized() && !wasMinimized) normalPosition_ = OuterPosition();
    // Back from the task bar (after a recording): where it was, whatever the window system made of its place.
    if (wasMinimized && !isMinimized() && shown_) {
        const QPoint before = normalPosition_;
        QTimer::singleShot(0, this, [this, before] { FitToScreen(before); });
    }
}

}  // namespace tolm
