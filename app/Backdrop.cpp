#include "app/Backdrop.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace tolm {

TBackdrop::TBackdrop(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TBackdrop::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height());
    sky.setColorAt(0, QColor(0x26, 0x2d, 0x3b));
    sky.setColorAt(1, QColor(0x12, 0x16, 0x20));
    p.fillRect(rect(), sky);

    // Title band, and the two panels as soft cards.
    p.fillRect(QRect(0, 0, width(), 40), QColor(0x1a, 0x1f, 0x2a));
    p.fillRect(QRect(0, 39, width(), 1), QColor(0xe0, 0x3c, 0x3c));
    const auto card = [&p](const QRectF& r) {
        QPainterPath path;
        path.addRoundedRect(r, 10, 10);
        p.fillPath(path, QColor(255, 255, 255, 14));
        p.setPen(QPen(QColor(255, 255, 255, 30), 1));
        p.drawPath(path);
    };
    // Half-pixel insets keep the 1-pixel outline sharp.
    card(QRectF(LeftPanel(height())).adjusted(0.5, 0.5, -0.5, -0.5));
    card(QRectF(RightPanel(height())).adjusted(0.5, 0.5, -0.5, -0.5));
    // Frame of the preview's home box.
    p.fillRect(QRect(18, 273, 554, 300), QColor(0x0b, 0x0e, 0x14));
}

void TBackdrop::mousePressEvent(QMouseEvent* event) {
    if (onPress) onPress(event->position().toPoint());
    event->accept();
}

}  // namespace tolm
