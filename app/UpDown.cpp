#include "app/UpDown.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace tolm {

namespace {

int ClampInt16(int v) {
    return std::clamp(v, int{std::numeric_limits<std::int16_t>::min()}, int{std::numeric_limits<std::int16_t>::max()});
}

}  // namespace

TUpDown::TUpDown(QLineEdit* associate, QWidget* parent)
    : QWidget(parent), associate_(associate), up_(new QToolButton(this)), down_(new QToolButton(this)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    for (auto [button, arrow] : {std::pair{up_, Qt::UpArrow}, std::pair{down_, Qt::DownArrow}}) {
        button->setArrowType(arrow);
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        column->addWidget(button);
    }
    connect(up_, &QToolButton::clicked, this, [this] { Step(1); });
    connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
}

void TUpDown::SetRange(int min, int max) {
    // Like the toolkit's control, the limits are kept as given even when the minimum exceeds the maximum.
    min_ = ClampInt16(min);
    max_ = ClampInt16(max);
}

int TUpDown::Position() const {
    bool ok = false;
    const int value = associate_->text().toInt(&ok);
    const int low = std::min(min_, max_);
    const int high = std::max(min_, max_);
    return ok ? std::clamp(value, low, high) : min_;
}

void TUpDown::Step(int delta) {
    if (!isEnabled()) return;
    const int next = std::clamp(Position() + delta, std::min(min_, max_), std::max(min_, max_));
    associate_->setText(QString::number(next));
}

}  // namespace tolm
