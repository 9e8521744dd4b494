#include <QWidget>

#include "app/MainWindow.h"

namespace tolm {

// Tab and Backtab pass over the controls out of sight: the wide layout's in the compact one, and any beyond the
// window's edge. Each step moves the focus one place along the chain; a whole round finds none in sight.
bool TfrmMain::focusNextPrevChild(bool next) {
    QWidget* first = nullptr;
    for (;;) {
        if (!QMainWindow::focusNextPrevChild(next)) return false;
        QWidget* now = focusWidget();
        if (now == nullptr || now == first) return true;
        if (first == nullptr) first = now;
        if (rect().contains(QRect(now->mapTo(this, QPoint(0, 0)), now->size()).center())) return true;
    }
}

}  // namespace tolm
