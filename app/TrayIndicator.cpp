#include "app/TrayIndicator.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWidget>

#include "app/AppWindows.h"

namespace tolm {
namespace {

constexpr int kIconSize = 64;

// The program's icon; while it records, with a red dot in its lower right corner.
QIcon TrayIcon(bool recording) {
    const QIcon base(QStringLiteral(":/icons/tolm.svg"));
    if (!recording) return base;
    QPixmap pixmap = base.pixmap(kIconSize, kIconSize);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 3));
    painter.setBrush(QColor(0xe5, 0x39, 0x35));
    painter.drawEllipse(QRect(kIconSize / 2, kIconSize / 2, kIconSize / 2 - 2, kIconSize / 2 - 2));
    return QIcon(pixmap);
}

}  // namespace

TrayIndicator::TrayIndicator(QWidget* window, Commands commands)
    : QObject(window), commands_(std::move(commands)), menu_(new QMenu(window)) {
    status_ = AddAction("TrayStatus", QString(), [this] {
        if (!shown_.SavedFile().empty()) commands_.openFolderOf(shown_.SavedFile());
    });
    menu_->addSeparator();
    pause_ = AddAction("TrayPause", QStringLiteral("Pause"), [this] { commands_.pause(); });
    stop_ = AddAction("TrayStop", QStringLiteral("Stop and save"), [this] { commands_.stop(); });
    cancel_ = AddAction("TrayCancel", QStringLiteral("Cancel"), [this] { commands_.cancel(); });
    menu_->addSeparator();
    AddAction("TrayShowWindow", QStringLiteral("Show the window"), [this] { commands_.showWindow(); });
    Show(RecorderStatus{});
    // No tray, nothing said: the program works as it does without one.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    icon_ = new QSystemTrayIcon(TrayIcon(false), this);
    icon_->setContextMenu(menu_);
    icon_->setToolTip(QString::fromUtf8(kApplicationTitle));
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) commands_.showWindow();
    });
    connect(icon_, &QSystemTrayIcon::messageClicked, this, [this] {
        if (!shown_.SavedFile().empty()) commands_.openFolderOf(shown_.SavedFile());
    });
    icon_->show();
}

TrayIndicator::~TrayIndicator() {
    if (icon_) icon_->hide();
}

bool TrayIndicator::Shown() const {
    return icon_ && icon_->isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

QAction* TrayIndicator::AddAction(const char* name, const QString& text, std::function<void()> run) {
    QAction* action = menu_->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    connect(action, &QAction::triggered, this, std::move(run));
    return action;
}

void TrayIndicator::Show(const RecorderStatus& status) {
    const std::string text = status.StatusText();
    const bool newPhase = status.CurrentPhase() != shown_.CurrentPhase();
    if (!newPhase && text == shownText_) return;  // mostly the same second again
    const bool saved = status.CurrentPhase() == RecorderStatus::Phase::saved && newPhase;
    shown_ = status;
    shownText_ = text;
    const QString line = text.empty() ? QString::fromUtf8(kApplicationTitle) : QString::fromStdString(text);
    status_->setText(status.SavedFile().empty() ? line : line + QStringLiteral(" (open its folder)"));
    status_->setEnabled(!status.SavedFile().empty());
    pause_->setText(QString::fromStdString(status.PauseText()));
    pause_->setEnabled(status.CanPause());
    stop_->setEnabled(status.CanStop());
    cancel_->setEnabled(status.CanCancel());
    if (!icon_) return;
    icon_->setToolTip(QString::fromUtf8(kApplicationTitle) + (text.empty() ? QString() : QStringLiteral("\n") + line));
    if (newPhase) icon_->setIcon(TrayIcon(status.CanPause()));
    if (saved) OnSaved(status.SavedFile());
}

void TrayIndicator::OnSaved(const std::string& file) {
    icon_->showMessage(QStringLiteral("Saving Success..."),
                       QString::fromStdString(file) + QStringLiteral("\nClick to open its folder."),
                       QSystemTrayIcon::Information);
}

}  // namespace tolm
