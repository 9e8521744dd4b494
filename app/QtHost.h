#pragma once

#include <QPointer>
#include <QWidget>

#include <vector>

#include "platform/Host.h"

namespace tolm {

class MainThread;
class WindowLocator;

// The engine's host over Qt: message boxes, a settings form, the main window's minimise and restore, the busy
// cursor and the free-hand picker's window. Callable from any thread: each call runs on the main thread and
// the caller waits for it. Once the main thread has stopped taking work, questions are answered no.
class QtHost final : public Host {
  public:
    explicit QtHost(MainThread& mainThread);
    ~QtHost() override;
    QtHost(const QtHost&) = delete;
    QtHost& operator=(const QtHost&) = delete;

    // The window that minimise and restore act on and over which the boxes appear. Main thread.
    void SetMainWindow(QWidget* window);
    // Where the desktop tells whether a window still shows; null where it cannot (no X desktop).
    void SetWindowLocator(WindowLocator* locator) { locator_ = locator; }

    void ShowNotice(const std::string& title, const std::string& text, NoticeIcon icon) override;
    bool AskYesNo(const std::string& title, const std::string& text) override;
    void CloseQuestions() override;
    bool EditSettings(const std::string& title, std::vector<SettingField>& fields) override;
    void MinimizeApplication() override;
    void RestoreApplication() override;
    void FinishMinimizing() override;
    void SetBusyCursor(bool busy) override;
    void RunFreeHandPicker(FreeHandPicker& picker, const Bitmap& stillPicture) override;

    // Busy cursors set and not yet taken back.
    int BusyCount() const { return busyCount_; }

  private:
    MainThread& mainThread_;
    QPointer<QWidget> mainWindow_;
    WindowLocator* locator_ = nullptr;
    std::vector<QPointer<QWidget>> questions_;  // open yes/no boxes, main thread only
    int busyCount_ = 0;                         // main thread only
};

}  // namespace tolm
