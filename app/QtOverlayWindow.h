#pragma once

#include <QWidget>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/OverlayWindow.h"

namespace tolm {

// The overlay as a frameless top-level widget that bypasses the window manager and never takes the focus;
// its shape is a widget mask (the SHAPE extension on X11), so the pointer reaches what lies in the holes.
// An empty shape keeps the window off the screen, since Qt would read an empty mask as "no mask".
class QtOverlayWindow final : public QWidget, public OverlayWindow {
    Q_OBJECT

  public:
    QtOverlayWindow();
    ~QtOverlayWindow() override;

    Size TextExtent(const std::string& text) override;
    void SetBounds(const Rect& screen) override;
    void SetShape(const std::vector<Rect>& shape) override;
    void Paint(const std::string& caption, TColor captionText, TColor captionBack, const Rect& frame,
               TColor frameColor) override;
    void ShowOnTop() override;
    void Hide() override;
    bool Showing() const override { return showing_; }
    std::uint64_t NativeId() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    struct Painting {
        bool done = false;
        QString caption;
        QColor text;
        QColor back;
        QRect frame;
        QColor frameColor;
    };

    void Present();

    Painting painting_;
    bool showing_ = false;
    bool shapeEmpty_ = false;
};

}  // namespace tolm
