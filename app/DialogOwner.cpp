#include "app/DialogOwner.h"

#include <QVariant>
#include <QWidget>

namespace tolm {
namespace {

constexpr const char* kModalToOwner = "tolmModalToOwner";

}  // namespace

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

void MarkModalToOwner(QWidget* box) {
    box->setProperty(kModalToOwner, true);
    if (box->parentWidget()) box->setWindowModality(Qt::WindowModal);
}

void TakeKeyboard(QWidget* box) {
    box->raise();
    box->activateWindow();
}

void AdoptStrayBox(QWidget* box, QWidget* window) {
    // Re-parenting hides the box; its modality can change only while it is hidden.
    box->setParent(window, box->windowFlags() & ~Qt::WindowStaysOnTopHint);
    const bool modal = box->property(kModalToOwner).toBool();
    if (modal) box->setWindowModality(Qt::WindowModal);
    box->show();
    if (modal) TakeKeyboard(box);
}

}  // namespace tolm
