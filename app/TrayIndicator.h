#pragma once

#include <QObject>

#include <functional>
#include <optional>
#include <string>

#include "app/RecorderStatus.h"

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace tolm {

// The recorder's icon in the desktop's tray (a StatusNotifierItem, or the older system tray, whichever the
// desktop has): it shows that a recording runs and for how long while the window is away, and its menu pauses,
// stops, cancels and brings the window back; after a save it names the file, whose folder a click opens. Where
// the desktop has no tray nothing shows and the menu is not reached; the window works as without it.
class TrayIndicator final : public QObject {
    Q_OBJECT

  public:
    struct Commands {
        std::function<void()> pause;
        std::function<void()> stop;
        std::function<void()> cancel;
        std::function<void()> showWindow;
        std::function<void(const std::string& file)> openFolderOf;
    };

    TrayIndicator(QWidget* window, Commands commands);
    ~TrayIndicator() override;

    // Whether the icon is in a tray, where the user can reach its menu.
    bool Shown() const;
    void Show(const RecorderStatus& status);

  private:
    QAction* AddAction(const char* name, const QString& text, std::function<void()> run);
    void OnSaved(const std::string& file);

    Commands commands_;
    QMenu* menu_;  // the window's
    QSystemTrayIcon* icon_ = nullptr;
    QAction* status_ = nullptr;
    QAction* pause_ = nullptr;
    QAction* stop_ = nullptr;
    QAction* cancel_ = nullptr;
    RecorderStatus shown_;
    std::optional<std::string> shownText_;  // none before the first Show
};

}  // namespace tolm
