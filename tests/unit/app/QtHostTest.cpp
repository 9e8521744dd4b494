#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <atomic>
#include <functional>
#include <thread>

#include "app/ErrorBoxes.h"
#include "app/QtHost.h"
#include "app/QtMainThread.h"
#include "platform/fake/FakeOverlayWindow.h"

namespace tolm {
namespace {

// Acts on the modal window once it is up, as a user would.
void WhenModalShows(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;  // deletes itself once it has acted
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        timer->stop();
        timer->deleteLater();
        act(modal);
    });
    timer->start();
}

void ClickButton(QWidget* box, QMessageBox::StandardButton which) {
    auto* message = qobject_cast<QMessageBox*>(box);
    ASSERT_NE(message, nullptr);
    message->button(which)->click();
}

TEST(QtHost, QuestionFromAWorkerIsAskedOnTheMainThread) {
    QtMainThread main;
    QtHost host(main);
    for (const auto answer : {QMessageBox::Yes, QMessageBox::No}) {
        std::atomic<bool> done{false};
        bool result = answer != QMessageBox::Yes;
        QString title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        WhenModalShows([&](QWidget* box) {
            title = box->windowTitle();
            icon = qobject_cast<QMessageBox*>(box)->icon();
            ClickButton(box, answer);
        });
        std::thread worker([&] {
            result = host.AskYesNo("Notice", "Continue?");
            done = true;
        });
        main.RunModal([&] { return done.load(); });
        worker.join();
        EXPECT_EQ(result, answer == QMessageBox::Yes);
        EXPECT_EQ(title, "Notice");
        EXPECT_EQ(icon, QMessageBox::Warning);
    }
}

TEST(QtHost, SettingsFormReturnsEditedValuesOnlyWhenAccepted) {
    QtMainThread main;
    QtHost host(main);
    std::vector<SettingField> fields{{"preset", "Preset", {"fast", "slow"}, "slow"}, {"name", "Name", {}, "old"}};
    WhenModalShows([](QWidget* form) {
        auto* combo = form->findChild<QComboBox*>("preset");
        auto* edit = form->findChild<QLineEdit*>("name");
        ASSERT_TRUE(combo && edit);
        EXPECT_EQ(combo->currentText(), "slow");  // starts at the field's value
        combo->setCurrentIndex(0);
        edit->setText("new");
        qobject_cast<QDialog*>(form)->accept();
    });
    ASSERT_TRUE(host.EditSettings("Configure", fields));
    EXPECT_EQ(fields[0].value, "fast");
    EXPECT_EQ(fields[1].value, "new");

    WhenModalShows([](QWidget* form) {
        form->findChild<QLineEdit*>("name")->setText("discarded");
        qobject_cast<QDialog*>(form)->reject();
    });
    EXPECT_FALSE(host.EditSettings("Configure", fields));
    EXPECT_EQ(fields[1].value, "new");
}

TEST(QtHost, BusyCursorIsCountedAndNeverOverRestored) {
    QtMainThread main;
    {
        QtHost host(main);
        host.SetBusyCursor(false);  // nothing to take back
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        host.SetBusyCursor(true);
        host.SetBusyCursor(true);
        host.SetBusyCursor(false);
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        EXPECT_EQ(host.BusyCount(), 1);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the host's end takes back what it left
}

TEST(QtHost, MinimiseAndRestoreActOnTheMainWindow) {
    QtMainThread main;
    QtHost host(main);
    host.MinimizeApplication();  // no window yet: nothing happens
    QWidget window;
    window.show();
    host.SetMainWindow(&window);
    host.MinimizeApplication();
    EXPECT_TRUE(window.isMinimized());
    host.RestoreApplication();
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(window.isVisible());
}

// A desktop that does not minimise (no window manager) gets the window hidden before a still picture; a restore
// brings it back.
TEST(QtHost, AWindowTheDesktopLeavesOnTheScreenIsHiddenForAStillPicture) {
    QtMainThread main;
    QtHost host(main);
    FakeWindowLocator desktop;
    QWidget window;
    desktop.shows = [&window](std::uint64_t id) { return window.isVisible() && id == window.winId(); };
    host.SetWindowLocator(&desktop);
    host.SetMainWindow(&window);
    window.show();
    host.MinimizeApplication();
    host.FinishMinimizing();
    EXPECT_FALSE(window.isVisible());
    host.RestoreApplication();
    EXPECT_TRUE(window.isVisible());
}

// An error shown while the window was away stands alone; once the window is back it is modal to it.
TEST(QtHost, AnErrorFromWhileTheWindowWasAwayBecomesModalToItsReturn) {
    QtMainThread main;
    QtHost host(main);
    QWidget window;
    host.SetMainWindow(&window);
    window.show();
    host.MinimizeApplication();
    ErrorBoxes boxes(&window);
    boxes.Show(QMessageBox::NoIcon, "Error", "while away");
    QMessageBox* box = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) box = b;
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->parentWidget(), nullptr);
    host.RestoreApplication();
    EXPECT_EQ(box->parentWidget(), &window);
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    box->close();
}

}  // namespace
}  // namespace tolm
