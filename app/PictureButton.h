#pragma once

#include <QAbstractButton>
#include <QString>

#include <memory>

class QSvgRenderer;

namespace tolm {

// A flat button drawn from one SVG glyph in four looks: normal, mouse over, pressed and disabled. A toggle that is
// off shows the disabled look and lets presses through to the background, but stays enabled, so the keyboard
// still reaches it. Tab reaches every enabled one, a ring shows the focus, Space and Enter press it.
class PictureButton : public QAbstractButton {
    Q_OBJECT

  public:
    enum class Look { normal, hover, pressed, disabled };

    // `iconResource` is a Qt resource path (":/icons/record.svg"); `accent` tints the normal look.
    PictureButton(const QString& iconResource, const QColor& accent, QWidget* parent = nullptr);
    ~PictureButton() override;

    Look CurrentLook() const;
    QSize sizeHint() const override;

    // Makes the button a toggle in this state; a plain button counts as on.
    void SetOn(bool on);
    bool IsOn() const { return on_; }

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    std::unique_ptr<QSvgRenderer> glyph_;
    QColor accent_;
    bool hovered_ = false;
    bool on_ = true;
};

}  // namespace tolm
