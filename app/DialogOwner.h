#pragma once

class QWidget;

namespace tolm {

// The window a message box should belong to so that the user sees it: `window` while it shows, else none.
// Desktops do not show the dialogs of a minimised window, which would leave the program looking frozen.
QWidget* DialogOwner(QWidget* window);

// A box without an owner stays above the other windows, where an owned box would stand over its window, and
// blocks none of them (a box that is waited for is modal all the same).
void KeepInSight(QWidget* box);

}  // namespace tolm
