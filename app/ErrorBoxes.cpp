#include "app/ErrorBoxes.h"

#include <QAbstractButton>
#include <QWidget>

#include <algorithm>
#include <utility>

#include "app/DialogOwner.h"

namespace tolm {

ErrorBoxes::ErrorBoxes(QWidget* window) : QObject(window), window_(window) {}

void ErrorBoxes::Show(QMessageBox::Icon icon, const QString& caption, const QString& text) {
    const bool known = (current_ && currentText_ == text) ||
                       std::any_of(waiting_.begin(), waiting_.end(), [&](const Message& m) { return m.text == text; });
    if (known) return;
    waiting_.push_back(Message{icon, caption, text});
    if (!current_) ShowNext();
}

void ErrorBoxes::WhenAllClosed(std::function<void()> fn) {
    if (!Open()) {
        fn();
        return;
    }
    afterAll_.push_back(std::move(fn));
}

void ErrorBoxes::ShowNext() {
    if (waiting_.empty()) {
        // Work that waited for the boxes may close the window: it runs once this box's signal has returned.
        for (std::function<void()>& fn : std::exchange(afterAll_, {}))
            QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
        return;
    }
    const Message m = waiting_.front();
    waiting_.pop_front();
    auto* box = new QMessageBox(m.icon, m.caption, m.text, QMessageBox::Ok, DialogOwner(window_));
    box->setObjectName(QStringLiteral("ErrorBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setDefaultButton(QMessageBox::Ok);
    MarkModalToOwner(box);
    KeepInSight(box);
    current_ = box;
    currentText_ = m.text;
    connect(box, &QMessageBox::finished, this, [this] {
        current_ = nullptr;
        ShowNext();
    });
    box->show();
    if (box->parentWidget()) TakeKeyboard(box);
}

}  // namespace tolm
