#include "app/DialogOwner.h"

#include <QWidget>

namespace tolm {

QWidget* DialogOwner(QWidget* window) {
    if (!window || window->isMinimized() || !window->isVisible()) return nullptr;
    return window;
}

void KeepInSight(QWidget* box) {
    if (box->parentWidget()) return;
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    // Owned by no window, a modal box would block every window, even a box shown after it; one that is waited
    // for (exec) is made modal again by the wait.
    box->setWindowModality(Qt::NonModal);
}

}  // namespace tolm
