#include <gtest/gtest.h>

#include <QAction>
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
#include <QSlider>
#include <QStandardItemModel>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>
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
#include "platform/fake/FakeHotKeys.h"
#include "unit/FakeServices.h"

namespace tolm {
namespace {

// The main window over an engine on a scripted 1920x1080 desktop.
class MainWindowTest : public ::testing::Test, protected FakeServices<QtMainThread, SteadyClock> {
  protected:
    void SetUp() override {
        folder = FreshEngineFolder("tolm-main-");
        screen.SetAlwaysChanging(true);  // every position is grabbed, as on a busy screen
        window = std::make_unique<TfrmMain>(DesktopServices());
        CloseBoxes();  // a missing settings file beside the test program is reported at creation
    }

    void TearDown() override {
        window.reset();
        CloseBoxes();
        std::filesystem::remove_all(folder);
    }

    // An X desktop's: the recorder's keys reach it.
    virtual EngineServices DesktopServices() {
        EngineServices services = Services();
        services.hotKeys = &keys;
        return services;
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

    // Opens the options dialog from the window, lets `change` set its controls, then presses OK.
    void ChangeOptions(const std::function<void(TfrmOption&)>& change) {
        TfrmOption options(Camera(), window.get());
        AppWindows() = {window.get(), &options, nullptr};
        QTimer::singleShot(0, &options, [&options, &change] {
            change(options);
            options.findChild<QPushButton*>(QStringLiteral("Button2"))->click();
        });
        Button("AudVidOptBut")->click();
        AppWindows() = {};
    }
    void SetRemember(bool on) {
        ChangeOptions(
            [on](TfrmOption& o) { o.findChild<QCheckBox*>(QStringLiteral("RememberSettings"))->setChecked(on); });
    }
    // As at the program's next start: the window goes and a new one shows.
    void Restart() {
        window.reset();
        CloseBoxes();
        window = std::make_unique<TfrmMain>(Services());
        CloseBoxes();
        window->show();
    }
    void TypeArea(int left, int top, int width, int height) {
        Edit("EditLeft")->setText(QString::number(left));
        Edit("EditTop")->setText(QString::number(top));
        Edit("EditWidth")->setText(QString::number(width));
        Edit("EditHeight")->setText(QString::number(height));
    }
    // "left,top,width,height" as the edits show it.
    std::string AreaText() {
        return QStringList{Edit("EditLeft")->text(), Edit("EditTop")->text(), Edit("EditWidth")->text(),
                           Edit("EditHeight")->text()}
            .join(QLatin1Char(','))
            .toStdString();
    }

    // Records into `name` in the test's folder with the fake compressors, which need no settling then; its path.
    std::string StartRecording(const char* name) {
        Find<QComboBox>("ComboBoxRecType")->setCurrentIndex(0);
        const std::string output = folder + "/" + name;
        Edit("EditOutputDir")->setText(QString::fromStdString(output));
        Button("RecBut")->click();
        EXPECT_TRUE(PumpUntil([this] { return Camera().Recording() && screen.GrabCount() > 2; }));
        return output;
    }

    FakeHotKeys keys;
    std::string folder;
    std::unique_ptr<TfrmMain> window;
};

// A Wayland desktop's portal: no keys reach the recorder, no window can be picked, the pointer is not told.
class PortalDesktopWindowTest : public MainWindowTest {
  protected:
    EngineServices DesktopServices() override {
        screen.SetTellsPointerPosition(false);
        return Services();
    }
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

TEST_F(MainWindowTest, ASizeBelowOneIsRefusedAndACappedOneKeepsTheAreaOnTheMonitor) {
    window->show();
    Find<QComboBox>("RegSelect")->setCurrentIndex(3);
    QLineEdit* height = Edit("EditHeight");
    height->setText(QStringLiteral("0"));
    EXPECT_EQ(Camera().ScreenArea().ScreenHeight(), 300);  // never an empty area
    Edit("EditOutputDir")->setText(QString::fromStdString(folder + "/flat.avi"));
    Button("RecBut")->click();
    EXPECT_FALSE(Camera().WorkerRunning());
    EXPECT_TRUE(host.Questions().empty());
    EXPECT_EQ(Boxes(), QStringList{QStringLiteral(
                           "TOLM Screen Capture|The height of the area must be at least 1 pixel; it stays 300.")});
    EXPECT_EQ(height->text(), QStringLiteral("300"));

    Edit("EditLeft")->setText(QStringLiteral("1800"));
    Edit("EditWidth")->setText(QStringLiteral("5000"));
    EXPECT_EQ(Camera().ScreenArea().Bounds(), (Rect{0, 0, 1920, 300}));
    EXPECT_EQ(Edit("EditLeft")->text(), QStringLiteral("0"));
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

// Tab goes round the controls in sight: every enabled picture button, off toggles included; Pause, Stop and
// Cancel look disabled and wait for a recording. Space and Enter press the focused button, which shows a ring.
TEST_F(MainWindowTest, TheKeyboardReachesAndPressesEveryPictureButtonInSight) {
    window->show();
    const auto tabRound = [this] {
        QWidget* start = Find<QComboBox>("RegSelect");
        start->setFocus();
        QStringList reached;
        for (int i = 0; i < 100; ++i) {
            Type(window->focusWidget(), Qt::Key_Tab, QStringLiteral("\t"));
            if (window->focusWidget() == start) break;
            if (auto* button = qobject_cast<PictureButton*>(window->focusWidget())) reached << button->objectName();
        }
        reached.sort();
        return reached;
    };
    QStringList compact{"AudVidOptBut",   "BtnOpenSaveFolder", "ButtonHelp",        "ExitBut",     "FilterEffectsBut",
                        "RecBut",         "btnAudioRecord",    "btnChooseSaveFile", "btnMoreInfo", "btnPreview",
                        "btnRecordCursor"};
    compact.sort();
    EXPECT_EQ(tabRound(), compact);
    Button("btnMoreInfo")->click();
    QStringList wide = compact + QStringList{"btnChooseOverlayFile"};
    wide.sort();
    EXPECT_EQ(tabRound(), wide);
    for (const char* waiting : {"PauseBut", "StopBut", "BCancel"})
        EXPECT_EQ(Button(waiting)->CurrentLook(), PictureButton::Look::disabled) << waiting;

    PictureButton* audio = Button("btnAudioRecord");
    const QImage unfocused = audio->grab().toImage();
    window->activateWindow();  // a focus shows in the active window only
    ASSERT_TRUE(PumpUntil([this] { return window->isActiveWindow(); }));
    audio->setFocus();
    EXPECT_NE(audio->grab().toImage(), unfocused);  // the ring
    const auto press = [audio](Qt::Key key) {
        for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent event(type, key, Qt::NoModifier);
            QApplication::sendEvent(audio, &event);
        }
    };
    press(Qt::Key_Space);
    EXPECT_TRUE(Camera().UseAudioRecord());
    press(Qt::Key_Return);
    EXPECT_TRUE(PumpUntil([this] { return !Camera().UseAudioRecord(); }));  // Enter's click is animated
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

TEST_F(MainWindowTest, TypedValuesComeBackAfterASwitchToAnotherRegion) {
    window->show();
    QComboBox* region = Find<QComboBox>("RegSelect");
    region->setCurrentIndex(3);
    TypeArea(100, 250, 640, 360);
    for (const int other : {4, 2}) {
        region->setCurrentIndex(other);
        Camera().SetPreview(false);  // the next preview event writes the other region's area into the edits
        region->setCurrentIndex(3);
        EXPECT_EQ(AreaText(), "100,250,640,360") << other;
        EXPECT_EQ(Camera().ScreenArea().Bounds(), (Rect{100, 250, 640, 360})) << other;
    }
}

TEST_F(MainWindowTest, TheMonitorChoiceIsInSightAndFullScreenAndTheCapsFollowIt) {
    screen.SetMonitors({Rect{0, 0, 1280, 1080}, Rect{1280, 0, 640, 1080}});
    window->show();
    auto* monitors = Find<QComboBox>("ComboBoxCurrentMonitor");
    QCheckBox* all = Find<QCheckBox>("CheckBoxRecordfromallmonitors");
    for (QWidget* control : std::initializer_list<QWidget*>{monitors, all, Edit("EditUpdate")}) {
        Button("btnMoreInfo")->click();  // the update rate sits in the wide layout
        ASSERT_EQ(window->width(), TfrmMain::kWideWidth);
        EXPECT_TRUE(window->rect().contains(QRect(control->mapTo(window.get(), QPoint()), control->size())))
            << control->objectName().toStdString();
        Button("btnMoreInfo")->click();
    }
    ASSERT_EQ(monitors->count(), 2);
    monitors->setCurrentIndex(1);
    Find<QComboBox>("RegSelect")->setCurrentIndex(4);
    EXPECT_EQ(Camera().ScreenArea().Bounds(), (Rect{1280, 0, 640, 1080}));
    Find<QComboBox>("RegSelect")->setCurrentIndex(3);
    Edit("EditLeft")->setText(QStringLiteral("1500"));
    EXPECT_EQ(Camera().ScreenArea().ScreenLeft(), 1500);
    Edit("EditWidth")->setText(QStringLiteral("900"));
    EXPECT_EQ(Camera().ScreenArea().ScreenWidth(), 640);
    all->setChecked(true);
    EXPECT_FALSE(monitors->isEnabled());
    Find<QComboBox>("RegSelect")->setCurrentIndex(4);
    EXPECT_EQ(Camera().ScreenArea().Bounds(), (Rect{0, 0, 1920, 1080}));
}

TEST_F(MainWindowTest, RememberedChoicesComeBackAtTheNextStartUntilForgotten) {
    compressors.Add(FakeCompressorManager::Codec("MJPG"));
    compressors.Add(FakeCompressorManager::Codec("H264"));
    window->show();
    SetRemember(true);
    Find<QComboBox>("RegSelect")->setCurrentIndex(3);
    TypeArea(100, 250, 640, 360);
    Find<QComboBox>("ComboBoxRecType")->setCurrentIndex(2);
    Find<QCheckBox>("CheckBoxRecordingDur")->setChecked(true);
    Edit("EditMin")->setText(QStringLiteral("5"));
    Edit("EditOutputDir")->setText(QString::fromStdString(folder + "/clip.mkv"));
    PressOnBackground(Button("btnAudioRecord"), QPoint(10, 10));  // an off toggle takes no click of its own
    Button("btnMoreInfo")->click();
    ChangeOptions([](TfrmOption& o) {
        o.findChild<QComboBox*>(QStringLiteral("VideoCompressor"))->setCurrentIndex(1);
        o.findChild<QCheckBox*>(QStringLiteral("AutoMode"))->setChecked(false);
        o.findChild<QSlider*>(QStringLiteral("TrackBarRecord"))->setValue(33);
    });
    window->move(120, 80);

    Restart();
    EXPECT_EQ(Find<QComboBox>("RegSelect")->currentIndex(), 3);
    EXPECT_EQ(AreaText(), "100,250,640,360");
    EXPECT_EQ(Camera().ScreenArea().Bounds(), (Rect{100, 250, 640, 360}));
    EXPECT_EQ(Camera().RecordType(), TTypeRecord::CompressAfterRecord);
    EXPECT_TRUE(Camera().RecordingDuration().Enabled);
    EXPECT_EQ(Camera().RecordingDuration().Minutes, 5);
    EXPECT_EQ(Edit("EditOutputDir")->text().toStdString(), folder + "/clip.mkv");
    EXPECT_TRUE(Camera().UseAudioRecord());
    EXPECT_TRUE(Button("btnAudioRecord")->isEnabled());
    EXPECT_EQ(window->width(), TfrmMain::kWideWidth);
    EXPECT_EQ(Camera().CompressorInfos(Camera().SelectedCompressor()).szName, "H264 codec");
    EXPECT_EQ(Camera().Record_MSPF(), 33);
    EXPECT_EQ(window->pos(), QPoint(120, 80));

    SetRemember(false);
    EXPECT_FALSE(std::filesystem::exists(folder + "/tolm-screen-capture/window-settings"));
    Restart();
    EXPECT_EQ(Find<QComboBox>("RegSelect")->currentIndex(), 2);
    EXPECT_EQ(window->width(), TfrmMain::kCompactWidth);
}

TEST_F(MainWindowTest, ADamagedRememberedFileIsSetAsideWithANotice) {
    std::filesystem::create_directories(folder + "/tolm-screen-capture");
    std::ofstream(folder + "/tolm-screen-capture/window-settings") << "region=3\n\x01\x02\x03\n";
    Restart();
    EXPECT_EQ(Find<QComboBox>("RegSelect")->currentIndex(), 2);
    const QStringList boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes.front().contains(QStringLiteral("window-settings.damaged"))) << boxes.front().toStdString();
    EXPECT_TRUE(std::filesystem::exists(folder + "/tolm-screen-capture/window-settings.damaged"));
}

// Every list shows its longest item whole ("Compress After Record" among them) inside the window, every label
// its text.
TEST_F(MainWindowTest, ListsAndLabelsShowTheirTextsWhole) {
    window->show();
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->text().isEmpty() && !label->wordWrap()) {
            EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
        }
    }
    Find<QComboBox>("ComboBoxCurrentMonitor")->addItem(QStringLiteral("16"));
    for (QComboBox* list : window->findChildren<QComboBox*>()) {
        EXPECT_GE(list->width(), list->sizeHint().width()) << list->objectName().toStdString();
        if (list->x() < TfrmMain::kWideWidth) {
            EXPECT_LE(list->geometry().right(), TBackdrop::RightPanel(TfrmMain::kClientHeight).right())
                << list->objectName().toStdString();
        }
    }
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
    ASSERT_FALSE(audio->IsOn());
    QWidget* background = Find<QWidget>("ImageMain");
    // Exactly on the left edge: not strictly inside.
    PressOnBackground(background, QPoint(audio->geometry().left(), audio->geometry().center().y()));
    EXPECT_FALSE(audio->IsOn());
    EXPECT_FALSE(Camera().UseAudioRecord());
    // A press on the off toggle itself reaches the background.
    PressOnBackground(audio, QPoint(audio->width() / 2, audio->height() / 2));
    EXPECT_TRUE(audio->IsOn());
    EXPECT_TRUE(Camera().UseAudioRecord());
    audio->click();
    EXPECT_FALSE(audio->IsOn());
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
        EXPECT_EQ(Button("btnAudioRecord")->IsOn(), sound);
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
    EXPECT_TRUE(Button("btnPreview")->IsOn());  // the toggle follows the engine's state
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

TEST_F(MainWindowTest, ExitDuringRecordingSavesAndThenCloses) {
    window->show();
    Button("StopBut")->click();  // idle: nothing happens
    Button("PauseBut")->click();
    EXPECT_FALSE(Camera().Recording());
    const std::string output = StartRecording("exit.avi");
    EXPECT_FALSE(Button("RecBut")->isEnabled());  // from the click until the worker has finished
    ASSERT_TRUE(PumpUntil([this] { return !Find<QComboBox>("RegSelect")->isEnabled(); }))
        << Boxes().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(Button("StopBut")->isEnabled());

    Button("ExitBut")->click();
    EXPECT_TRUE(window->isVisible());  // for the save
    ASSERT_TRUE(PumpUntil([this] { return !Camera().WorkerRunning(); }));
    EXPECT_TRUE(std::filesystem::exists(output));
    EXPECT_TRUE(Boxes().isEmpty()) << Boxes().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(PumpUntil([this] { return !window->isVisible(); }));  // and then it goes
}

TEST_F(MainWindowTest, ATimeLapseWithSoundAsksBeforeRecording) {
    window->show();
    Camera().SetPlayBack_FPS(24);  // frames still taken every 20 ms
    Camera().SetUseAudioRecord(true);
    Edit("EditOutputDir")->setText(QString::fromStdString(folder + "/lapse.avi"));
    Button("RecBut")->click();  // answered no
    ASSERT_EQ(host.Questions().size(), 1u);
    EXPECT_NE(host.Questions().front().text.find("0.48 times as fast as it happened"), std::string::npos);
    EXPECT_FALSE(Camera().WorkerRunning());
    EXPECT_TRUE(Button("RecBut")->isEnabled());
}

TEST_F(MainWindowTest, DestroyingTheWindowCancelsARunningRecording) {
    window->show();
    StartRecording("cancelled.avi");
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
    EXPECT_EQ(status->text(), QStringLiteral("Saving Success... ") + QString::fromStdString(output));
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

// Over the visible window an error is modal to it and has the keyboard, so Enter closes it; the next one waits.
TEST_F(MainWindowTest, ErrorBoxesComeOneAtATimeAndTakeTheKeyboard) {
    window->show();
    Camera().OnError(Camera(), "first");
    Camera().OnError(Camera(), "second");
    Camera().OnError(Camera(), "second");
    ASSERT_EQ(Boxes(), QStringList{QStringLiteral("Error|first")});
    ASSERT_TRUE(PumpUntil([] { return qobject_cast<QMessageBox*>(QApplication::activeWindow()) != nullptr; }));
    const QWidget* box = QApplication::activeWindow();
    EXPECT_EQ(box->parentWidget(), window.get());
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    Type(QApplication::focusWidget(), Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_EQ(Boxes(), QStringList{QStringLiteral("Error|second")});
    CloseBoxes();
    EXPECT_TRUE(Boxes().isEmpty());
}

// The tray icon's menu drives the recording as the window's buttons do; after the save it and the window's status
// name the file.
TEST_F(MainWindowTest, TheTrayMenuPausesAndStopsAndThenNamesTheSavedFile) {
    window->show();
    const std::string output = StartRecording("tray.avi");
    QAction* pause = Find<QAction>("TrayPause");
    pause->trigger();
    EXPECT_TRUE(Camera().Paused());
    EXPECT_EQ(pause->text(), QStringLiteral("Resume"));
    EXPECT_TRUE(Find<QAction>("TrayStatus")->text().startsWith(QStringLiteral("Paused 0 : 0 : ")));
    Find<QAction>("TrayStop")->trigger();
    ASSERT_TRUE(PumpUntil([this] { return !Camera().WorkerRunning(); }));
    EXPECT_TRUE(std::filesystem::exists(output));
    QAction* status = Find<QAction>("TrayStatus");
    EXPECT_EQ(status->text(), QStringLiteral("Saved: tray.avi (open its folder)"));
    EXPECT_TRUE(status->isEnabled());
    EXPECT_FALSE(Find<QAction>("TrayStop")->isEnabled());
    EXPECT_EQ(Find<QLabel>("LStatus")->text(), QStringLiteral("Saving Success... ") + QString::fromStdString(output));
}

TEST_F(PortalDesktopWindowTest, RegionChoicesThatCannotWorkAreOffAndTheFirstIsTheFullScreen) {
    window->show();
    const auto* items = qobject_cast<QStandardItemModel*>(Find<QComboBox>("RegSelect")->model());
    ASSERT_NE(items, nullptr);
    for (const int off : {0, 2}) {
        EXPECT_FALSE(items->item(off)->isEnabled()) << off;
        EXPECT_TRUE(items->item(off)->toolTip().startsWith(QStringLiteral("Not on this desktop"))) << off;
    }
    EXPECT_TRUE(items->item(1)->isEnabled());
    EXPECT_EQ(Camera().ScreenArea().ScreenRegion(), TScreenRegion::FullScreen);
}

TEST_F(PortalDesktopWindowTest, TheStateLineNamesTheButtonsInsteadOfKeysThatDoNotReachIt) {
    window->show();
    QLabel* state = Find<QLabel>("LabelPreview");
    PictureButton* preview = Button("btnPreview");
    PressOnBackground(preview, QPoint(preview->width() / 2, preview->height() / 2));  // on
    const QString previewLine = QStringLiteral("Preview... (End: the eye button above)");
    EXPECT_TRUE(PumpUntil([&] { return state->text() == previewLine; })) << state->text().toStdString();
    StartRecording("portal.avi");
    EXPECT_TRUE(PumpUntil([state] { return state->text().startsWith(QStringLiteral("Recording...")); }));
    EXPECT_EQ(state->text(), QStringLiteral("Recording... (Stop and Pause: the buttons above)"));
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
