#pragma once

class QWidget;

namespace tolm {

// The window a message box should belong to so that the user sees it: `window` while it shows, else none.
// Desktops do not show the dialogs of a minimised window, which would leave the program looking frozen.
QWidget* DialogOwner(QWidget* window);

// A box without an owner stays above the other windows, where an owned box would stand over its window, and
// blocks none of them (a box that is waited for is modal all the same).
void KeepInSight(QWidget* box);

// A box that is modal to its window whenever it has one: now, or once it is adopted.
void MarkModalToOwner(QWidget* box);

// Brings the box forward and gives it the keyboard, so that Enter answers it.
void TakeKeyboard(QWidget* box);

// A box that stood alone while `window` was away now belongs to it, above it even where no window manager would
// keep it there; a box marked modal to its owner becomes so and takes the keyboard.
void AdoptStrayBox(QWidget* box, QWidget* window);

}  // namespace tolm
