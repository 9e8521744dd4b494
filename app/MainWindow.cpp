#include "app/MainWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QShowEvent>
#include <QTimer>
#include <QWindow>

#include <cstdint>
#include <exception>

#include "app/AppWindows.h"
#include "app/Backdrop.h"
#include "app/ErrorBoxes.h"
#include "app/PictureButton.h"
#include "app/SettingsFile.h"
#include "app/UpDown.h"

// The icons live in the window library; a static library's resources must be registered by hand.
static void RegisterWindowResources() {
    Q_INIT_RESOURCE(resources);
}

namespace tolm {

TfrmMain::TfrmMain(EngineServices services, QWidget* parent)
    : QMainWindow(parent),
      mainThread_(services.mainThread),
      ScrCamera(std::make_unique<TScreenCamera>(services)),
      host_(services.host) {
    RegisterWindowResources();
    setObjectName(QStringLiteral("TfrmMain"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    QFont font = this->font();
    font.setPointSize(9);
    setFont(font);

    errorBoxes_ = new ErrorBoxes(this);
    desktop_ = DesktopAbilities::Of(services);
    ImageMain = new TBackdrop(this);
    ImageMain->setObjectName(QStringLiteral("ImageMain"));
    ImageMain->onPress = [this](const QPoint& pos) { Guarded([this, pos] { ImageMainMouseDown(pos); }); };
    SetUpScrolling();
    BuildLeftPanel();
    BuildRightPanel();
    BuildMonitorControls();
    BuildHelpMenu();
    ApplyDesktopAbilities();
    CreateTray();
    ConfigureEngine();
    ConnectSettingHandlers();
    WatchChoices();
    FormCreate();
}

TfrmMain::~TfrmMain() {
    try {
        KeepChoices();  // what a pending keep had not written yet
    } catch (...) {
    }
    closing_ = true;
    WaitForWorker();
    DiscardCancelledRecording();
    // Engine events from here on see closing_ and leave the widgets alone.
    ScrCamera.reset();
}

// The window's stored configuration of its engine.
void TfrmMain::ConfigureEngine() {
    TScreenCamera& c = *ScrCamera;
    c.SetRecordType(TTypeRecord::CompressOnFly);
    c.SetCurrentMonitor(1);
    c.SetRecordAllMonitors(false);
    c.SetUpdateRate(250);
    c.SetPlayBack_FPS(50);
    c.SetRecord_MSPF(20);
    c.SetKeyFramesEvery(300);
    c.SetCompressionQuality(10000);
    c.SetColors(TPixelFormat::pf32bit);
    c.SetRegionColor1(clRed);
    c.SetRegionColor2(clLime);
    c.SetSelectedCompressor(-1);
    c.SetUseAudioRecord(false);
    c.SetRecordCursor(true);
    c.SetDrawAreaCapture(true);
    c.SetLineRectClear(true);
    c.SetMinimizeAppOnStart(false);
    c.SetRestoreAppOnStop(true);
    c.SetVideoPriority(TThreadPriority::tpNormal);
    c.SetOvelayDrawing(false);
    c.SetEffectToOvelayDraw(false);
    c.ScreenArea().SetScreenRegion(TScreenRegion::FixedMoving);
    c.ScreenArea().SetBounds(Rect{0, 0, 300, 300});
    // Indices of SetIndexedValue: colour noise, mono noise, posterize, red, green, blue, saturation, darkness,
    // brightness, contrast.
    TFilterValues& f = c.FilterValues();
    f.SetTypeScreenRotate(TScreenRotate::RLeft);
    constexpr std::int32_t kFilterDefaults[] = {0, 0, 1, 0, 0, 0, 255, 0, 0, 0};
    for (std::uint32_t i = 0; i < 10; ++i) f.SetIndexedValue(i, kFilterDefaults[i]);
    c.SetUseFilters(TUseFilters{});
    BindEngineEvents();
}

void TfrmMain::FormCreate() {
    FCanClose = true;
    FCancelSave = false;
    SetLayoutWidth(kCompactWidth);
    setWindowTitle(QString::fromUtf8(kApplicationTitle));
    std::string error;
    if (!ReadSettingsFile(GetSettingsFileName(), ProgramSettings(), error)) ShowErrorBox(QString::fromStdString(error));
}

void TfrmMain::FormShow() {
    EditOutputDir->setText(QString::fromStdString(DefaultOutputFile()));
    {
        // Filling the list is no user choice: the handler must not run.
        const QSignalBlocker block(ComboBoxCurrentMonitor);
        for (int i = 1; i <= ScrCamera->MonitorCount(); ++i) ComboBoxCurrentMonitor->addItem(QString::number(i));
        ComboBoxCurrentMonitor->setCurrentIndex(ScrCamera->CurrentMonitor() - 1);
    }
    SetEditText(EditTop, QStringLiteral("0"));
    SetEditText(EditLeft, QStringLiteral("0"));
    SetEditText(EditWidth, QStringLiteral("300"));
    SetEditText(EditHeight, QStringLiteral("300"));
}

void TfrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Restoring from the task bar shows the window again; the set-up belongs to the first showing only.
    if (shown_ || event->spontaneous()) return;
    shown_ = true;
    PlaceOnFirstShow();
    Guarded([this] { FormShow(); });
    Guarded([this] { LoadKeptChoices(); });
    // Asked once the window is on screen, from the event loop rather than from inside its showing.
    QTimer::singleShot(0, this, [this] { Guarded([this] { OfferLeftoverRecordings(); }); });
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    // The title bar's close does what Exit does: a running recording is stopped and saved, not thrown away, and
    // the window stays until its save has finished.
    if (ScrCamera->Recording()) {
        FCanClose = false;
        ScrCamera->StopRecording();
    }
    if (FormCloseQuery() && !ScrCamera->WorkerRunning()) {
        Guarded([this] { KeepChoices(); });
        event->accept();
        return;
    }
    // The save goes on under the window's own loop; the program ends once it has finished.
    closeAfterSave_ = true;
    event->ignore();
}

// Key filter of every number edit: digits pass, other printable characters are dropped. Keys whose text is a
// control character (backspace, Delete as U+007F, Tab, Return), keys that type nothing (arrows) and shortcuts
// stay with the edit.
bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    // The window itself is watched for its showing; its keys are not the number edits'.
    if (watched == windowHandle()) {
        if (event->type() == QEvent::Expose) SettleFrame();
        return QMainWindow::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (!text.isEmpty() && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
            const QChar c = text.front();
            const bool passes = c.category() == QChar::Other_Control || (c >= QChar('0') && c <= QChar('9'));
            if (!passes) return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        ShowErrorBox(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowErrorBox(QStringLiteral("Unknown error."));
    }
}

// The standard error box. It does not block the caller: handlers run on from events of the engine and from
// the window's creation, and a nested wait there would stall both.
void TfrmMain::ShowErrorBox(const QString& text) {
    errorBoxes_->Show(QMessageBox::Critical, QString::fromUtf8(kApplicationTitle), text);
}

}  // namespace tolm
