#pragma once

class QWidget;

namespace tolm {

class MainThread;
class WindowLocator;

// Serves the main thread until `window`, minimised just now, no longer shows on the screen, frame and all, as
// `locator` finds on the desktop. A desktop that has not done it within a second (one without a window
// manager never does) gets the window hidden instead, which the next show or restore undoes.
void WaitUntilOffScreen(QWidget& window, WindowLocator& locator, MainThread& mainThread);

}  // namespace tolm
