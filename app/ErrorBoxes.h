#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>

#include <deque>
#include <functional>
#include <vector>

class QWidget;

namespace tolm {

// The main window's error boxes, one on the screen at a time: a box over the visible window is modal to it and
// takes the keyboard, so Enter closes it; an error that comes while one is open waits for it (the same text
// twice is shown once). A box shown while the window is away stands alone until the window comes back. Never
// waits for the user: the caller goes on while a box is up.
class ErrorBoxes final : public QObject {
    Q_OBJECT

  public:
    explicit ErrorBoxes(QWidget* window);

    void Show(QMessageBox::Icon icon, const QString& caption, const QString& text);
    // Whether a box is up or waiting.
    bool Open() const { return current_ || !waiting_.empty(); }
    // Runs fn once every box has been closed; at once when none is open.
    void WhenAllClosed(std::function<void()> fn);

  private:
    struct Message {
        QMessageBox::Icon icon;
        QString caption;
        QString text;
    };
    void ShowNext();

    QWidget* window_;
    QPointer<QMessageBox> current_;
    QString currentText_;
    std::deque<Message> waiting_;
    std::vector<std::function<void()>> afterAll_;
};

}  // namespace tolm
