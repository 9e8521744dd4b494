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

    std::function<void(const QPoint& pos)> onPress;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace tolm
