#include "app/MinimizeWait.h"

#include <QDeadlineTimer>
#include <QTimer>
#include <QWidget>

#include "platform/MainThread.h"
#include "platform/WindowLocator.h"

namespace tolm {
namespace {

constexpr int kMinimizeWaitMs = 1000;
// The frame's unmapping sends this program no event; a timer wakes the loop to look again.
constexpr int kLookAgainMs = 15;

bool WaitUntilGone(QWidget& window, WindowLocator& locator, MainThread& mainThread) {
    const QDeadlineTimer deadline(kMinimizeWaitMs);
    QTimer wake;
    wake.start(kLookAgainMs);
    const auto id = static_cast<std::uint64_t>(window.winId());
    mainThread.RunModal([&] { return !locator.ShowsOnScreen(id) || deadline.hasExpired(); });
    return !locator.ShowsOnScreen(id);
}

}  // namespace

void WaitUntilOffScreen(QWidget& window, WindowLocator& locator, MainThread& mainThread) {
    if (!window.isVisible() || WaitUntilGone(window, locator, mainThread)) return;
    window.hide();
    WaitUntilGone(window, locator, mainThread);
}

}  // namespace tolm
