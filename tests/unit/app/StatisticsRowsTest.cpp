// The statistics rows of the free disk space, the recording time left and the sound input's clock.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/Backdrop.h"
#include "app/MainWindow.h"
#include "app/QtMainThread.h"
#include "capture/CaptureGlobals.h"
#include "platform/Clock.h"
#include "unit/FakeServices.h"

namespace tolm {
namespace {

TEST(StatisticsRows, UnknownIsADashAndTimeLeftReadsAsHoursMinutesSeconds) {
    EXPECT_EQ(TfrmMain::FreeDiskText(-1), QStringLiteral("-"));
    EXPECT_EQ(TfrmMain::FreeDiskText(0), QStringLiteral("0 MB"));
    EXPECT_EQ(TfrmMain::FreeDiskText(1234567), QStringLiteral("1234567 MB"));
    EXPECT_EQ(TfrmMain::TimeLeftText(-1), QStringLiteral("-"));
    EXPECT_EQ(TfrmMain::TimeLeftText(0), QStringLiteral("0:00:00"));
    EXPECT_EQ(TfrmMain::TimeLeftText(59), QStringLiteral("0:00:59"));
    EXPECT_EQ(TfrmMain::TimeLeftText(3725), QStringLiteral("1:02:05"));
    EXPECT_EQ(TfrmMain::TimeLeftText(360000), QStringLiteral("100:00:00"));
    EXPECT_EQ(TfrmMain::SoundClockText(std::nan("")), QStringLiteral("-"));
    EXPECT_EQ(TfrmMain::SoundClockText(0.2), QStringLiteral("+0 ppm"));
    EXPECT_EQ(TfrmMain::SoundClockText(-412.6), QStringLiteral("-413 ppm"));
}

TEST(StatisticsRows, ThreeMoreRowsBelowTheSixInsideTheRightCardFilledWithTheRest) {
    const std::string folder = FreshEngineFolder("tolm-statistics-");
    FakeServices<QtMainThread, SteadyClock> fake;
    auto window = std::make_unique<TfrmMain>(fake.Services());
    const auto label = [&window](const char* name) { return window->findChild<QLabel*>(QLatin1String(name)); };
    QLabel* dropped = label("DropedFramesValue");
    QLabel* free = label("FreeDiskValue");
    QLabel* left = label("TimeLeftValue");
    QLabel* clockRow = label("SoundClockValue");
    ASSERT_NE(dropped, nullptr);
    ASSERT_NE(free, nullptr);
    ASSERT_NE(left, nullptr);
    ASSERT_NE(clockRow, nullptr);
    const QRect card = TBackdrop::RightPanel(TfrmMain::kClientHeight);
    int below = dropped->geometry().top();
    for (const char* name : {"DropedFrames", "FreeDisk", "TimeLeft", "SoundClock"}) {
        const QRect caption = label(name)->geometry();
        const QRect value = label((std::string(name) + "Value").c_str())->geometry();
        EXPECT_GE(caption.top(), below) << name;
        EXPECT_EQ(value.top(), caption.top()) << name;
        EXPECT_TRUE(card.contains(caption) && card.contains(value)) << name;
        below = caption.bottom() + 1;
    }
    EXPECT_EQ(label("FreeDisk")->text(), QStringLiteral("Free Disk :"));
    EXPECT_EQ(label("TimeLeft")->text(), QStringLiteral("Time Left :"));
    EXPECT_EQ(label("SoundClock")->text(), QStringLiteral("Sound Clock :"));

    window->Camera().OnUpdate(window->Camera());
    EXPECT_EQ(free->text(), TfrmMain::FreeDiskText(window->Camera().FreeDiskMB()));
    EXPECT_EQ(left->text(), TfrmMain::TimeLeftText(window->Camera().RecordingSecondsLeft()));
    EXPECT_EQ(clockRow->text(), QStringLiteral("-"));  // no recording, no sound
    window.reset();
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w)) box->close();
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tolm
