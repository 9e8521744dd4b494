#include <QLabel>

#include "app/MainWindow.h"
#include "app/SettingsFile.h"
#include "app/TrayIndicator.h"

namespace tolm {

void TfrmMain::CreateTray() {
    TrayIndicator::Commands commands;
    commands.pause = [this] { Guarded([this] { PauseButClick(); }); };
    commands.stop = [this] { Guarded([this] { StopButClick(); }); };
    commands.cancel = [this] { Guarded([this] { TrayCancelClick(); }); };
    commands.showWindow = [this] { Guarded([this] { host_.RestoreApplication(); }); };
    commands.openFolderOf = [this](const std::string& file) {
        Guarded([&file] { ShellOpen(file.substr(0, file.find_last_of('/') + 1)); });
    };
    tray_ = new TrayIndicator(this, std::move(commands));
}

void TfrmMain::FollowEngineInTray() {
    if (!ScrCamera->Recording()) return;
    recorderStatus_.Recording(ScrCamera->Paused(), ScrCamera->ElapsedTimeText());
    ShowRecorderStatus();
}

void TfrmMain::ShowRecorderStatus() {
    tray_->Show(recorderStatus_);
}

// A recording (or a start waiting for its pick) is cancelled as by its key; a save step as by the window's button.
void TfrmMain::TrayCancelClick() {
    if (ScrCamera->Recording())
        ScrCamera->HotKeyPressed(HotKey::Escape);
    else
        BCancelClick();
}

QString TfrmMain::IdleStatusText() const {
    const std::string& file = recorderStatus_.SavedFile();
    if (file.empty()) return QStringLiteral("No Status");
    return QStringLiteral("Saving Success... ") + QString::fromStdString(file);
}

}  // namespace tolm
