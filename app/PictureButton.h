#pragma once

#include <QAbstractButton>
#include <QString>

#include <memory>

class QSvgRenderer;

namespace tolm {

// A flat button drawn from one SVG glyph in four looks: normal, mouse over, pressed and disabled. A toggle's
// state is its enabled state, so the disabled look doubles as the toggle's "off" look.
class PictureButton : public QAbstractButton {
    Q_OBJECT

  public:
    enum class Look { normal, hover, pressed, disabled };

    // `iconResource` is a Qt resource path (":/icons/record.svg"); `accent` tints the normal look.
    PictureButton(const QString& iconResource, const QColor& accent, QWidget* parent = nullptr);
    ~PictureButton() override;

    Look CurrentLook() const;
    QSize sizeHint() const override;

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    std::unique_ptr<QSvgRenderer> glyph_;
    QColor accent_;
    bool hovered_ = false;
};

}  // namespace tolm
