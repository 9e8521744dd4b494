#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace tolm {

// Two stacked arrows bound to a number edit: each click steps the edit's number by one within [Min, Max] and
// writes it back as text, so the edit's own change handler does the rest. Limits are signed 16-bit.
class TUpDown : public QWidget {
    Q_OBJECT

  public:
    TUpDown(QLineEdit* associate, QWidget* parent);

    int Min() const { return min_; }
    int Max() const { return max_; }
    void SetRange(int min, int max);
    // The number the arrows step from: the edit's value, held within the range.
    int Position() const;
    void Step(int delta);

  private:
    QLineEdit* associate_;
    QToolButton* up_;
    QToolButton* down_;
    int min_ = 0;
    int max_ = 100;
};

}  // namespace tolm
