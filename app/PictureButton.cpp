#include "app/PictureButton.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>

#include <algorithm>

namespace tolm {
namespace {

const QColor kFocusRing(255, 214, 64);

}  // namespace

PictureButton::PictureButton(const QString& iconResource, const QColor& accent, QWidget* parent)
    : QAbstractButton(parent), glyph_(std::make_unique<QSvgRenderer>(iconResource)), accent_(accent) {
    setCursor(Qt::PointingHandCursor);
    // Tab reaches it; a click leaves the focus where it was (in an edit, say).
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
}

PictureButton::~PictureButton() = default;

PictureButton::Look PictureButton::CurrentLook() const {
    if (!isEnabled() || !on_) return Look::disabled;
    if (isDown()) return Look::pressed;
    if (hovered_) return Look::hover;
    return Look::normal;
}

QSize PictureButton::sizeHint() const {
    return QSize(44, 44);
}

void PictureButton::SetOn(bool on) {
    on_ = on;
    update();
}

// A disabled button or an off toggle lets presses through to the widget beneath, where the background finds the
// toggle under the pointer; the toolkit's buttons would swallow them.
bool PictureButton::event(QEvent* event) {
    if (!isEnabled() || !on_) {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
                event->ignore();
                return false;
            default:
                break;
        }
    }
    return QAbstractButton::event(event);
}

void PictureButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void PictureButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void PictureButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        animateClick();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const Look look = CurrentLook();
    QColor face;
    QColor rim;
    switch (look) {
        case Look::normal:
            face = accent_;
            rim = accent_.lighter(130);
            break;
        case Look::hover:
            face = accent_.lighter(125);
            rim = QColor(255, 255, 255, 200);
            break;
        case Look::pressed:
            face = accent_.darker(140);
            rim = accent_.darker(170);
            break;
        case Look::disabled:
            face = QColor(70, 76, 88);
            rim = QColor(96, 102, 114);
            break;
    }
    const QRectF box = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    const qreal radius = std::min(box.width(), box.height()) * 0.28;
    QPainterPath shape;
    shape.addRoundedRect(box, radius, radius);
    QLinearGradient shade(box.topLeft(), box.bottomLeft());
    shade.setColorAt(0, face.lighter(112));
    shade.setColorAt(1, face.darker(112));
    p.fillPath(shape, shade);
    // The focus ring is bright on every face, on or off.
    p.setPen(hasFocus() ? QPen(kFocusRing, 3) : QPen(rim, 1.2));
    p.drawPath(shape);

    // The glyph sits centred at about 60 % of the face; the off look fades it.
    const qreal side = std::min(box.width(), box.height()) * 0.6;
    const QRectF glyphBox(box.center().x() - side / 2, box.center().y() - side / 2, side, side);
    if (look == Look::disabled) p.setOpacity(0.45);
    if (look == Look::pressed) p.translate(0, 1);
    glyph_->render(&p, glyphBox);
}

}  // namespace tolm
