#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/AppWindows.h"
#include "app/Backdrop.h"
#include "app/MainWindow.h"
#include "app/OptionsDialog.h"
#include "app/OverlayPicture.h"
#include "app/PictureButton.h"
#include "app/QtMainThread.h"
#include "app/SettingsFile.h"
#include "capture/CaptureGlobals.h"
#include "unit/FakeServices.h"

namespace tolm {
namespace {

// The main window over an engine on a scripted 1920x1080 desktop.
class MainWindowTest : public ::testing::Test, protected FakeServices<QtMainThread, SteadyClock> {
  protected:
    void SetUp() override {
        folder = FreshEngineFolder("tolm-main-");
        screen.SetAlwaysChanging(true);  // every position is grabbed, as on a busy screen
        window = std::make_unique<TfrmMain>(Services());
        CloseBoxes();  // a missing settings file beside the test program is reported at creation
    }

    void TearDown() override {
        window.reset();
        CloseBoxes();
        std::filesystem::remove_all(folder);
    }

    template <typename W>
    W* Find(const char* name) {
        W* w = window->findChild<W*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLineEdit* Edit(const char* name) { return Find<QLineEdit>(name); }
    PictureButton* Button(const char* name) { return Find<PictureButton>(name); }
    TScreenCamera& Camera() { return window->Camera(); }

    bool PumpUntil(const std::function<bool()>& done) {
        QDeadlineTimer deadline(20000);
        while (!done()) {
            if (deadline.hasExpired()) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return true;
    }

    // Texts of the message boxes on screen, each "caption|text".
    QStringList Boxes() {
        QCoreApplication::processEvents();
        QStringList texts;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                texts << box->windowTitle() + QLatin1Char('|') + box->text();
        return texts;
    }
    void CloseBoxes() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) box->close();
        QCoreApplication::processEvents();
    }

    void PressOnBackground(QWidget* target, const QPoint& local) {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(local), target->mapToGlobal(QPointF(local)), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
    }

    void Type(QWidget* target, Qt::Key key, const QString& text) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(target, &event);
    }

    std::string folder;
    std::unique_ptr<TfrmMain> window;
};

TEST_F(MainWindowTest, FirstShowAppliesTheWholeConfiguration) {
    EXPECT_FALSE(Camera().MinimizeAppOnStart());  // the stored configuration, before the first apply-all
    window->show();
    const Rect area = Camera().ScreenArea().Bounds();
    EXPECT_EQ(Camera().ScreenArea().ScreenRegion(), TScreenRegion::FixedMoving);
    EXPECT_EQ(area.left, 0);
    EXPECT_EQ(area.top, 0);
    EXPECT_EQ(area.width, 300);
    EXPECT_EQ(area.height, 300);
    EXPECT_TRUE(Camera().MinimizeAppOnStart());
    EXPECT_FALSE(Camera().Preview());
    EXPECT_EQ(Edit("EditOutputDir")->text().toStdString(), DefaultOutputFile());
    EXPECT_EQ(Find<QLabel>("LabelPreview")->text(), QStringLiteral("Preview Off..."));
    EXPECT_EQ(window->width(), TfrmMain::kCompactWidth);
    EXPECT_EQ(window->height(), TfrmMain::kClientHeight);
    // Moving region: only the size edits are open.
    EXPECT_FALSE(Edit("EditLeft")->isEnabled());
    EXPECT_TRUE(Edit("EditWidth")->isEnabled());
}

TEST_F(MainWindowTest, AreaEditsHoldTheirBoundsAndFilterKeys) {
    window->show();
    QLineEdit* width = Edit("EditWidth");
    width->setText(QStringLiteral("5000"));
    EXPECT_EQ(width->text(), QStringLiteral("1920"));
    EXPECT_EQ(Camera().ScreenArea().ScreenWidth(), 1920);

    Find<QComboBox>("RegSelect")->setCurrentIndex(3);
    QLineEdit* left = Edit("EditLeft");
    ASSERT_TRUE(left->isEnabled());
    left->setText(QStringLiteral("40"));
    EXPECT_EQ(Camera().ScreenArea().ScreenLeft(), 40);
    left->clear();
    EXPECT_EQ(left->text(), QStringLiteral("0"));
    EXPECT_EQ(Camera().ScreenArea().ScreenLeft(), 0);

    QLineEdit* height = Edit("EditHeight");
    height->setText(QStringLiteral("200"));
    Type(height, Qt::Key_A, QStringLiteral("a"));
    Type(height, Qt::Key_Minus, QStringLiteral("-"));
    EXPECT_EQ(height->text(), QStringLiteral("200"));
    Type(height, Qt::Key_7, QStringLiteral("7"));
    EXPECT_EQ(height->text(), QStringLiteral("1080"));  // 2007 is past the monitor's height
    EXPECT_EQ(Camera().ScreenArea().ScreenHeight(), 1080);

    // Pasted text that is no number stops at the error box; the area keeps its value.
    CloseBoxes();
    height->setText(QStringLiteral("12a"));
    EXPECT_EQ(Boxes(), QStringList{QStringLiteral("TOLM Screen Capture|'12a' is not a valid integer value")});
    EXPECT_EQ(Camera().ScreenArea().ScreenHeight(), 1080);
}

TEST_F(MainWindowTest, NumberEditsKeepDeleteAndTab) {
    window->show();
    QLineEdit* width = Edit("EditWidth");
    width->setCursorPosition(1);
    Type(width, Qt::Key_Delete, QStringLiteral("\x7f"));  // what Qt gives the key as text
    EXPECT_EQ(width->text(), QStringLiteral("30"));
    width->setFocus();
    Type(width, Qt::Key_Tab, QStringLiteral("\t"));
    EXPECT_NE(window->focusWidget(), width);
}

TEST_F(MainWindowTest, FullScreenChoiceKeepsTheEditsUntilTheNextPreview) {
    window->show();
    Find<QComboBox>("RegSelect")->setCurrentIndex(4);
    const Rect area = Camera().ScreenArea().Bounds();
    EXPECT_EQ(Camera().ScreenArea().ScreenRegion(), TScreenRegion::FullScreen);
    EXPECT_EQ(area.width, 1920);
    EXPECT_EQ(area.height, 1080);
    EXPECT_EQ(Edit("EditWidth")->text(), QStringLiteral("300"));
    EXPECT_FALSE(Edit("EditWidth")->isEnabled());
    EXPECT_FALSE(Find<QCheckBox>("CheckBoxRegRect")->isEnabled());
    // The next preview event (here the engine's preview write, as apply-all does it) shows the full screen.
    Camera().SetPreview(false);
    EXPECT_EQ(Edit("EditWidth")->text(), QStringLiteral("1920"));
}

TEST_F(MainWindowTest, LayoutButtonSwitchesBetweenTheTwoWidthsAndHelpKeepsToTheRightEnd) {
    window->show();
    const QWidget* help = Button("ButtonHelp");
    const auto above = [help](const QRect& card) {
        return help->x() >= card.left() && help->geometry().right() <= card.right();
    };
    Button("btnMoreInfo")->click();
    EXPECT_EQ(window->width(), TfrmMain::kWideWidth);
    EXPECT_TRUE(above(TBackdrop::RightPanel(TfrmMain::kClientHeight))) << help->x();
    Button("btnMoreInfo")->click();
    EXPECT_EQ(window->width(), TfrmMain::kCompactWidth);
    EXPECT_TRUE(above(TBackdrop::LeftPanel(TfrmMain::kClientHeight))) << help->x();
}

TEST_F(MainWindowTest, PressInsideAnOffToggleTurnsItOn) {
    window->show();
    PictureButton* audio = Button("btnAudioRecord");
    ASSERT_FALSE(audio->isEnabled());
    QWidget* background = Find<QWidget>("ImageMain");
    // Exactly on the left edge: not strictly inside.
    PressOnBackground(background, QPoint(audio->geometry().left(), audio->geometry().center().y()));
    EXPECT_FALSE(audio->isEnabled());
    EXPECT_FALSE(Camera().UseAudioRecord());
    // A press on the disabled toggle itself reaches the background.
    PressOnBackground(audio, QPoint(audio->width() / 2, audio->height() / 2));
    EXPECT_TRUE(audio->isEnabled());
    EXPECT_TRUE(Camera().UseAudioRecord());
    audio->click();
    EXPECT_FALSE(audio->isEnabled());
    EXPECT_FALSE(Camera().UseAudioRecord());

    PictureButton* cursor = Button("btnRecordCursor");
    cursor->click();
    EXPECT_FALSE(Camera().RecordCursor());
    EXPECT_EQ(cursor->CurrentLook(), PictureButton::Look::disabled);
}

TEST_F(MainWindowTest, OptionsOkKeepsTheSoundToggleInStep) {
    window->show();
    TfrmOption options(Camera(), window.get());
    AppWindows() = {window.get(), &options, nullptr};
    for (const bool sound : {true, false}) {
        QTimer::singleShot(0, &options, [&options, sound] {
            options.findChild<QCheckBox*>(QStringLiteral("AudioRecord"))->setChecked(sound);
            options.findChild<QPushButton*>(QStringLiteral("Button2"))->click();
        });
        Button("AudVidOptBut")->click();
        EXPECT_EQ(Camera().UseAudioRecord(), sound);
        EXPECT_EQ(Button("btnAudioRecord")->isEnabled(), sound);
    }
    AppWindows() = {};
}

TEST_F(MainWindowTest, DurationFollowsItsControls) {
    window->show();
    QCheckBox* enabled = Find<QCheckBox>("CheckBoxRecordingDur");
    enabled->setChecked(true);
    TRecordingDuration d = Camera().RecordingDuration();
    EXPECT_TRUE(d.Enabled);
    EXPECT_EQ(d.Hours + d.Minutes + d.Seconds, 0);  // 0:0:0 records without a limit
    EXPECT_TRUE(Edit("EditSec")->isEnabled());
    Edit("EditMin")->setText(QStringLiteral("2"));
    Edit("EditSec")->setText(QStringLiteral("300"));  // 8 bits would keep 44
    d = Camera().RecordingDuration();
    EXPECT_EQ(d.Minutes, 2);
    EXPECT_EQ(d.Seconds, 59);
    EXPECT_EQ(Edit("EditSec")->text(), QStringLiteral("59"));
    enabled->setChecked(false);
    EXPECT_FALSE(Camera().RecordingDuration().Enabled);
    EXPECT_FALSE(Edit("EditHour")->isEnabled());
}

TEST_F(MainWindowTest, PreviewFramesFitTheBoxAndNeverGrow) {
    window->show();
    QLabel* box = Find<QLabel>("ImagePreview");
    const auto show = [this](int w, int h) {
        const Bitmap frame(w, h);
        Camera().OnPreview(Camera(), &frame, true, false);
    };
    const auto previewOff = [this] { Camera().OnPreview(Camera(), nullptr, false, false); };

    show(1200, 600);
    EXPECT_EQ(box->geometry(), QRect(18, 285, 554, 277));
    EXPECT_EQ(Find<QLabel>("LabelPreview")->text(), QStringLiteral("Preview... (Cancel=Esc)"));
    previewOff();
    EXPECT_EQ(box->geometry(), TfrmMain::kPreviewHome);
    show(300, 300);
    EXPECT_EQ(box->geometry(), QRect(145, 273, 300, 300));
    show(1200, 600);  // bound by the smaller box of the last frame
    EXPECT_EQ(box->geometry(), QRect(145, 348, 300, 150));
    previewOff();
    show(300, 1200);
    EXPECT_EQ(box->geometry(), QRect(258, 273, 75, 300));
    EXPECT_TRUE(Button("btnPreview")->isEnabled());  // the toggle follows the engine's state
}

TEST_F(MainWindowTest, SaveProgressCanBeCancelledAndHoldsTheClose) {
    window->show();
    bool go = false;
    Camera().OnSaving(Camera(), 10, "Saving Video...", go);
    EXPECT_TRUE(go);
    EXPECT_EQ(Find<QLabel>("LStatus")->text(), QStringLiteral("Saving Video..."));
    EXPECT_EQ(Find<QProgressBar>("Progress")->value(), 10);
    EXPECT_TRUE(Button("BCancel")->isEnabled());
    EXPECT_FALSE(window->close());

    Button("BCancel")->click();
    Camera().OnSaving(Camera(), 20, "Saving Video...", go);
    EXPECT_FALSE(go);
    EXPECT_EQ(Find<QLabel>("LStatus")->text(), QStringLiteral("No Status"));
    EXPECT_EQ(Find<QProgressBar>("Progress")->value(), 0);
    EXPECT_FALSE(Button("BCancel")->isEnabled());

    // A step that runs to its end also frees the close.
    Camera().OnDeleting(Camera(), 2, "Deleting Temp File", go);
    EXPECT_FALSE(window->close());
    Camera().OnDeleting(Camera(), 100, "Deleting Temp File", go);
    EXPECT_TRUE(go);
    EXPECT_EQ(Find<QLabel>("LStatus")->text(), QStringLiteral("No Status"));
    EXPECT_TRUE(window->close());
}

TEST_F(MainWindowTest, ExitDuringRecordingWaitsForTheSave) {
    window->show();
    Button("StopBut")->click();  // idle: nothing happens
    Button("PauseBut")->click();
    EXPECT_FALSE(Camera().Recording());
    Find<QComboBox>("ComboBoxRecType")->setCurrentIndex(0);  // the fake compressors need no settling then
    const std::string output = folder + "/exit.avi";
    Edit("EditOutputDir")->setText(QString::fromStdString(output));
    Button("RecBut")->click();
    EXPECT_FALSE(Button("RecBut")->isEnabled());  // from the click until the worker has finished
    ASSERT_TRUE(PumpUntil([this] { return !Find<QComboBox>("RegSelect")->isEnabled() && screen.GrabCount() > 2; }))
        << Boxes().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(Button("StopBut")->isEnabled());

    Button("ExitBut")->click();
    EXPECT_TRUE(window->isVisible());
    ASSERT_TRUE(PumpUntil([this] { return !Camera().WorkerRunning(); }));
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(std::filesystem::exists(output));
    EXPECT_EQ(Find<QLabel>("LStatus")->text(), QStringLiteral("No Status"));
    EXPECT_TRUE(Button("RecBut")->isEnabled());
    EXPECT_FALSE(Button("StopBut")->isEnabled());
    EXPECT_TRUE(Boxes().isEmpty()) << Boxes().join(QLatin1Char('\n')).toStdString();

    Button("ExitBut")->click();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, DestroyingTheWindowCancelsARunningRecording) {
    window->show();
    Find<QComboBox>("ComboBoxRecType")->setCurrentIndex(0);
    Edit("EditOutputDir")->setText(QString::fromStdString(folder + "/cancelled.avi"));
    Button("RecBut")->click();
    ASSERT_TRUE(PumpUntil([this] { return screen.GrabCount() > 2; }));
    window.reset();  // waits for the worker; a hang or a crash fails the test
    EXPECT_FALSE(std::filesystem::exists(folder + "/cancelled.avi"));
}

// Escape closes menus of other programs too: the recording it ends stays until the next one starts, and the
// status line offers its save meanwhile.
TEST_F(MainWindowTest, EscapeKeepsTheRecordingWhichTheStatusOffersToSaveUntilTheNextStart) {
    window->show();
    Find<QComboBox>("ComboBoxRecType")->setCurrentIndex(0);
    const std::string output = folder + "/tutorial.avi";
    const auto recordThenEscape = [&] {
        Edit("EditOutputDir")->setText(QString::fromStdString(output));
        const int grabs = screen.GrabCount();
        Button("RecBut")->click();
        ASSERT_TRUE(PumpUntil([&] { return screen.GrabCount() > grabs + 3; }));
        Camera().HotKeyPressed(HotKey::Escape);
        ASSERT_TRUE(PumpUntil([this] { return !Camera().WorkerRunning(); }));
    };
    recordThenEscape();
    auto* status = Find<QLabel>("LStatus");
    EXPECT_TRUE(status->text().startsWith(QStringLiteral("Recording cancelled \u2014 ")))
        << status->text().toStdString();
    EXPECT_FALSE(std::filesystem::exists(output));
    emit status->linkActivated(QStringLiteral("save"));
    ASSERT_NE(avi.File(output), nullptr) << Boxes().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(status->text(), QStringLiteral("No Status"));
    EXPECT_TRUE(Camera().LeftoverRecordings().empty());

    std::filesystem::remove(output);
    recordThenEscape();
    const std::optional<TScreenCamera::LeftoverRecording> kept = Camera().CancelledRecording();
    ASSERT_TRUE(kept.has_value());
    Edit("EditOutputDir")->setText(QString::fromStdString(folder + "/next.avi"));
    Button("RecBut")->click();
    EXPECT_FALSE(std::filesystem::exists(kept->videoFile));
    Camera().StopRecording();
    ASSERT_TRUE(PumpUntil([this] { return !Camera().WorkerRunning(); }));
}

TEST_F(MainWindowTest, EngineErrorsAndAnUnreadableOverlayAreShownOnce) {
    window->show();
    Camera().OnError(Camera(), "Error: user abort!");
    EXPECT_EQ(Boxes(), QStringList{QStringLiteral("Error|Error: user abort!")});
    CloseBoxes();

    Edit("EditOverlayFile")->setText(QString::fromStdString(folder + "/missing.bmp"));
    Bitmap frame(64, 48);
    frame.Fill(0x123456);
    Camera().OnOverlay(Camera(), frame, 64, 48);
    Camera().OnOverlay(Camera(), frame, 64, 48);
    EXPECT_EQ(Boxes().size(), 1);
    EXPECT_EQ(frame.PixelRGB(32, 24), 0x123456u);  // the frame goes on without the picture
}

TEST(OverlayPicture, DrawsCentredWithoutItsLowerLeftColour) {
    QImage picture(4, 2, QImage::Format_RGB32);
    picture.fill(qRgb(0, 255, 0));  // the lower-left colour: transparent
    picture.setPixel(1, 0, qRgb(255, 0, 0));
    picture.setPixel(3, 1, qRgb(0, 0, 255));
    Bitmap frame(11, 9);
    frame.Fill(0x101010);
    DrawTransparentCentred(frame, picture);
    // Left 11/2 - 4/2 = 3, top 9/2 - 2/2 = 3.
    EXPECT_EQ(frame.PixelRGB(4, 3), 0xFF0000u);
    EXPECT_EQ(frame.PixelRGB(6, 4), 0x0000FFu);
    EXPECT_EQ(frame.PixelRGB(3, 3), 0x101010u);
    EXPECT_EQ(frame.PixelRGB(5, 4), 0x101010u);

    // A picture larger than the frame is cut at its edges.
    QImage big(30, 30, QImage::Format_RGB32);
    big.fill(qRgb(0, 0, 0));
    big.setPixel(29, 0, qRgb(9, 9, 9));
    big.setPixel(15, 15, qRgb(200, 100, 50));
    DrawTransparentCentred(frame, big);
    EXPECT_EQ(frame.PixelRGB(5, 4), 0xC86432u);  // 11/2 - 15 = -10, 9/2 - 15 = -11
}

TEST(OverlayPicture, ReportsAnUnreadableFileOncePerName) {
    TOverlayPicture overlay;
    Bitmap frame(8, 8);
    overlay.SetFileName(QStringLiteral("/nonexistent/a.bmp"));
    EXPECT_EQ(overlay.Draw(frame), TOverlayPicture::DrawResult::unreadable);
    EXPECT_EQ(overlay.Draw(frame), TOverlayPicture::DrawResult::unreadableReported);
    overlay.RearmReport();
    EXPECT_EQ(overlay.Draw(frame), TOverlayPicture::DrawResult::unreadable);
    overlay.SetFileName(QStringLiteral("/nonexistent/b.bmp"));
    EXPECT_EQ(overlay.Draw(frame), TOverlayPicture::DrawResult::unreadable);
}

}  // namespace
}  // namespace tolm
