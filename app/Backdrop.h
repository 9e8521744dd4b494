#pragma once

#include <QWidget>

#include <functional>

namespace tolm {

// The picture behind the whole client area. Presses on it (and on disabled controls above it, which Qt hands
// on to their parent) go to `onPress` in the backdrop's own coordinates.
class TBackdrop : public QWidget {
    Q_OBJECT

  public:
    explicit TBackdrop(QWidget* parent = nullptr);

    // The two cards the controls sit on, in a client area `height` pixels high; the right one shows in the wide
    // layout only.
    static QRect LeftPanel(int height) { return QRect(8, 46, 574, height - 54); }
    static QRect RightPanel(int height) { return QRect(598, 46, 295, height - 54); }

    std::function<void(const QPoint& pos)> onPress;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace tolm
