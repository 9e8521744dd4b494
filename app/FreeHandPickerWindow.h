#pragma once

#include <QImage>
#include <QRegion>
#include <QWidget>

#include "imaging/Geometry.h"

namespace tolm {

class Bitmap;
class MainThread;
class FreeHandPicker;

// The free-hand picker on screen: a frameless, topmost window over the desktop from its origin, showing the
// still picture, the picker's guide lines and its hint by the pointer, and feeding the mouse (in the root's
// pixels, whatever Qt's scale) into the picker. The picker decides everything; this window only shows it. It
// takes the keyboard while it shows, and Escape cancels the pick, whoever else holds that key on the desktop.
class FreeHandPickerWindow final : public QWidget {
    Q_OBJECT

  public:
    FreeHandPickerWindow(FreeHandPicker& picker, const Bitmap& still);
    ~FreeHandPickerWindow() override;

    // Where the hint box is drawn for the picker's current hint (empty without a hint).
    QRect HintBox() const;

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    // A rectangle of the root's pixels in the window's logical ones, covering every pixel it touches.
    QRect ToLogical(const Rect& device) const;
    Point ScreenPoint(const QMouseEvent* event) const;
    // Everything drawn over the still picture: the visible guide lines and the hint box.
    QRegion Overlay() const;
    void Refresh();

    FreeHandPicker& picker_;
    QImage still_;
    QRegion overlay_;  // as last drawn, to be repainted from the picture when it moves
};

// Shows the picker's window, serves the main thread until the picker has a modal result and closes the window.
// When the loop ends without one (the application quits) the picker is left cancelled. Main thread.
void RunFreeHandPickerWindow(FreeHandPicker& picker, const Bitmap& still, MainThread& mainThread);

}  // namespace tolm
