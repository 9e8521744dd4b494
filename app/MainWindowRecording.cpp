#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QThread>

#include <algorithm>
#include <cmath>

#include "app/MainWindow.h"

#include <cstdio>
#include <optional>

#include "app/ErrorBoxes.h"
#include "app/PictureButton.h"
#include "app/QtConvert.h"
#include "app/TrayIndicator.h"
#include "app/UpDown.h"
#include "capture/CaptureGlobals.h"
#include "capture/FrameTiming.h"

namespace tolm {

namespace {

// Centre of the preview box's home rectangle.
constexpr int kPreviewCentreX = 295;
constexpr int kPreviewCentreY = 423;

// A time-lapse with sound may well be meant, so it is asked rather than refused, while the timing can still be
// changed.
bool SoundSpeedAccepted(const TScreenCamera& camera, Host& host) {
    if (!camera.UseAudioRecord()) return true;
    const std::string warning = SoundSpeedWarning(camera.Record_MSPF(), camera.PlayBack_FPS());
    return warning.empty() ||
           host.AskYesNo("Notice", warning +
                                       "\r\nThe \"Full auto mode\" of the Audio/Video options records in real "
                                       "time. Record anyway?");
}

}  // namespace

void TfrmMain::BindEngineEvents() {
    TScreenCamera& c = *ScrCamera;
    // Each handler may run on the recording worker; widgets are touched on the window's thread only.
    c.OnError = [this](TScreenCamera&, const std::string& message) {
        const QString text = QString::fromStdString(message);
        OnWindowThread([this, text] { ScrCameraError(text); });
    };
    c.OnUpdate = [this](TScreenCamera&) { OnWindowThread([this] { ScrCameraUpdate(); }); };
    c.OnStart = [this](TScreenCamera&) { OnWindowThread([this] { ScrCameraStart(); }); };
    c.OnStop = [this](TScreenCamera&) { OnWindowThread([this] { ScrCameraStop(); }); };
    // Pause and resume need no handler: the state line follows from the next preview event.
    c.OnPreview = [this](TScreenCamera&, const Bitmap* bitmap, bool preview, bool recording) {
        if (closing_) return;
        // The bitmap lives only for this call; the copy travels to the window's thread.
        const bool hasFrame = bitmap != nullptr && !bitmap->Empty();
        if (!latestPreview_.Put({hasFrame ? ToQImage(*bitmap) : QImage(), hasFrame, preview, recording})) return;
        OnWindowThread([this] {
            if (const std::optional<LatestPreview::Frame> f = latestPreview_.Take())
                ScrCameraPreview(f->image, f->hasFrame, f->preview, f->recording);
        });
    };
    c.OnFinished = [this](TScreenCamera&) { OnWindowThread([this] { ScrCameraFinished(); }); };
    const TSaveEvent progress = [this](TScreenCamera&, int percent, const std::string& caption, bool& go) {
        go = AnswerSaveReport(percent, caption);
    };
    c.OnSaving = progress;
    c.OnDeleting = progress;
    c.OnOverlay = [this](TScreenCamera&, Bitmap& frame, int, int) { ScrCameraOverlay(frame); };
    connect(LStatus, &QLabel::linkActivated, this, [this] { Guarded([this] { SaveCancelledRecording(); }); });
}

void TfrmMain::OnWindowThread(std::function<void()> fn) {
    if (closing_) return;
    if (QThread::currentThread() == thread()) {
        Guarded(fn);
        return;
    }
    // Queued work is dropped with the window.
    QMetaObject::invokeMethod(
        this,
        [this, fn = std::move(fn)] {
            if (!closing_) Guarded(fn);
        },
        Qt::QueuedConnection);
}

// The engine's worker waits for the answer, so the report runs on the window's thread while it waits.
bool TfrmMain::AnswerSaveReport(int percent, const std::string& caption) {
    if (closing_) return true;
    const QString text = QString::fromStdString(caption);
    if (QThread::currentThread() == thread()) return ScrCameraSaving(percent, text);
    bool answer = true;
    // A main thread that has stopped serving work cannot show progress; the step then simply goes on.
    mainThread_.Invoke([this, percent, &text, &answer] {
        if (!closing_) answer = ScrCameraSaving(percent, text);
    });
    return answer;
}

void TfrmMain::WaitForWorker() {
    if (!ScrCamera->WorkerRunning()) return;
    if (ScrCamera->Recording()) ScrCamera->CancelRecording();
    // The worker's last reports and its end are served from here; a stopped main thread returns at once and
    // the engine's destructor then joins the worker.
    mainThread_.RunModal([this] { return !ScrCamera->WorkerRunning(); });
}

void TfrmMain::RecButClick() {
    const QString file = EditOutputDir->text();
    if (file.isEmpty()) return;
    overlay_.RearmReport();
    FCancelSave = false;  // a cancel meant for an earlier save must not end this one
    if (!TypedSizesAccepted() || !SoundSpeedAccepted(*ScrCamera, host_)) return;
    DiscardCancelledRecording();
    // Until the worker has finished, save included, the next recording cannot start.
    if (ScrCamera->StartRecording(file.toStdString())) RecBut->setEnabled(false);
}

void TfrmMain::PauseButClick() {
    if (!ScrCamera->Recording()) return;
    if (ScrCamera->Paused())
        ScrCamera->ResumeRecording();
    else
        ScrCamera->PauseRecording();
    FollowEngineInTray();
}

void TfrmMain::StopButClick() {
    if (ScrCamera->Recording()) ScrCamera->StopRecording();
}

void TfrmMain::BCancelClick() {
    FCancelSave = true;
}

void TfrmMain::ExitButClick() {
    if (ScrCamera->Preview()) ScrCamera->SetPreview(false);
    if (ScrCamera->Recording()) {
        // The window stays for the save phase; its report of 100 allows the next close.
        FCanClose = false;
        ScrCamera->StopRecording();
    }
    close();
}

void TfrmMain::SetRecordingControls(bool recording) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{ComboBoxColorMode, ComboBoxRecType, EditOutputDir, btnChooseSaveFile, RecBut,
                                         AudVidOptBut, RegSelect, CheckBoxRecordfromallmonitors})
        w->setEnabled(!recording);
    // A full-screen recording follows the monitor: it must not change size on the way.
    for (QWidget* w : std::initializer_list<QWidget*>{ComboBoxCurrentMonitor, LabeCurrentMonitor})
        w->setEnabled(!recording && !CheckBoxRecordfromallmonitors->isChecked());
    StopBut->setEnabled(recording);
    PauseBut->setEnabled(recording);
}

void TfrmMain::ScrCameraStart() {
    SetRecordingControls(true);
    recorderStatus_.Recording(ScrCamera->Paused(), ScrCamera->ElapsedTimeText());
    ShowRecorderStatus();
    ShowState(LStatus, IdleStatusText());
    for (QLineEdit* edit : {EditLeft, EditTop, EditWidth, EditHeight}) edit->setEnabled(false);
    UpDownLeft->setEnabled(EditLeft->isEnabled());
    UpDownTop->setEnabled(EditTop->isEnabled());
    UpDownWidth->setEnabled(EditWidth->isEnabled());
    UpDownHeight->setEnabled(EditHeight->isEnabled());
}

void TfrmMain::ScrCameraStop() {
    SetRecordingControls(false);
    RecBut->setEnabled(!ScrCamera->WorkerRunning());  // the save follows; ScrCameraFinished enables it
    // Back to the listed region: while recording the engine turned a picked area into a fixed one.
    RegSelectChange();
}

void TfrmMain::ScrCameraFinished() {
    // However the worker ended (saved, failed, kept for recovery, cancelled), no step of it is left to close
    // the save's controls or to allow the window's close.
    FCancelSave = false;
    FCanClose = true;
    BCancel->setEnabled(false);
    ShowState(LStatus, IdleStatusText());
    Progress->setValue(0);
    RecBut->setEnabled(true);
    recorderStatus_.Finished();
    ShowRecorderStatus();
    OfferCancelledRecording();
    std::fprintf(stderr, "tolm-capture: Ready to record\n");
    // What the save had to say is read before the program ends.
    if (closeAfterSave_) errorBoxes_->WhenAllClosed([this] { close(); });
}

QRect TfrmMain::FitPreview(QSize frame, QRect box) {
    const int bw = frame.width();
    const int bh = frame.height();
    const int W = box.width();
    const int H = box.height();
    int width = bw;
    int height = bh;
    if ((bw > W || bh > H) && bw > 0 && bh > 0) {
        const double r = static_cast<double>(bw) / bh;
        if (bh < bw) {
            width = W;
            height = static_cast<int>(std::trunc(W / r));
            if (height > H) {
                height = H;
                width = static_cast<int>(std::trunc(H * r));
            }
        } else {
            height = H;
            width = static_cast<int>(std::trunc(H * r));
            if (width > W) {
                width = W;
                height = static_cast<int>(std::trunc(W / r));
            }
        }
    }
    return QRect(kPreviewCentreX - width / 2, kPreviewCentreY - height / 2, width, height);
}

void TfrmMain::ScrCameraPreview(const QImage& frame, bool hasFrame, bool preview, bool recording) {
    if (recording) {
        const bool trayShown = tray_->Shown();
        ShowState(LabelPreview, QString::fromStdString(RecordingStateLine(ScrCamera->Paused(), desktop_, trayShown)));
        FollowEngineInTray();
    } else if (preview) {
        ShowState(LabelPreview, QString::fromStdString(PreviewStateLine(desktop_)));
    } else {
        ShowState(LabelPreview, QStringLiteral("Preview Off..."));
        ImagePreview->setGeometry(kPreviewHome);
    }
    if (hasFrame && !frame.isNull()) {
        // The bound is the box's current size, so frames never grow past an earlier, smaller one.
        ImagePreview->setGeometry(FitPreview(frame.size(), ImagePreview->geometry()));
        ImagePreview->setPixmap(QPixmap::fromImage(frame));
    } else {
        ImagePreview->clear();
    }
    const Rect area = ScrCamera->ScreenArea().Bounds();
    SetEditText(EditTop, QString::number(area.top));
    SetEditText(EditLeft, QString::number(area.left));
    SetEditText(EditWidth, QString::number(area.width));
    SetEditText(EditHeight, QString::number(area.height));
    if (btnPreview->IsOn() != preview) btnPreview->SetOn(preview);
}

void TfrmMain::ScrCameraUpdate() {
    // The platform's decimal separator, without grouping: "1234.50", not "1,234.50".
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    VideoCodecValue->setText(QString::fromStdString(ScrCamera->VideoCodecName()));
    ElapsedTimeValue->setText(QString::fromStdString(ScrCamera->ElapsedTimeText()));
    RealCapturingValue->setText(locale.toString(ScrCamera->RealFPS(), 'f', 2));
    CurrentCapturedValue->setText(locale.toString(ScrCamera->CurrentFPS(), 'f', 2));
    FramesCapturedValue->setText(QString::number(ScrCamera->CapturedFrames()));
    DropedFramesValue->setText(QString::number(ScrCamera->DroppedFrames()));
    FreeDiskValue->setText(FreeDiskText(ScrCamera->FreeDiskMB()));
    TimeLeftValue->setText(TimeLeftText(ScrCamera->RecordingSecondsLeft()));
    SoundClockValue->setText(SoundClockText(ScrCamera->AudioClockPpm()));
}

QString TfrmMain::SoundClockText(double ppm) {
    if (std::isnan(ppm)) return QStringLiteral("-");
    const long rounded = std::lround(ppm);
    return QStringLiteral("%1%2 ppm").arg(rounded >= 0 ? QStringLiteral("+") : QString()).arg(rounded);
}

QString TfrmMain::FreeDiskText(std::int64_t megabytes) {
    return megabytes < 0 ? QStringLiteral("-") : QStringLiteral("%1 MB").arg(megabytes);
}

QString TfrmMain::TimeLeftText(std::int64_t seconds) {
    if (seconds < 0) return QStringLiteral("-");
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void TfrmMain::ShowState(QLabel* label, const QString& text) {
    if (label->text() == text) return;
    label->setText(text);
    if (!text.isEmpty()) std::fprintf(stderr, "tolm-capture: %s\n", text.toLocal8Bit().constData());
}

bool TfrmMain::ScrCameraSaving(int percent, const QString& statusCaption) {
    FCanClose = false;
    const auto finish = [this] {
        FCancelSave = false;
        BCancel->setEnabled(false);
        ShowState(LStatus, IdleStatusText());
        Progress->setValue(0);
        FCanClose = true;
    };
    if (FCancelSave) {
        finish();
        return false;
    }
    if (!BCancel->isEnabled()) {
        BCancel->setEnabled(true);
        ShowState(LStatus, statusCaption);
    }
    Progress->setValue(std::clamp(percent, 0, 100));
    recorderStatus_.Saving(percent, statusCaption.toStdString());
    // The save's last word stays on show, with the file, until the next recording.
    if (percent == 100 && statusCaption == QStringLiteral("Saving Success..."))
        recorderStatus_.Saved(Globals().OutputFile());
    if (percent == 100) finish();
    ShowRecorderStatus();
    return true;
}

// On the recording worker for every frame while the overlay is on.
void TfrmMain::ScrCameraOverlay(Bitmap& frame) {
    if (overlay_.Draw(frame) != TOverlayPicture::DrawResult::unreadable) return;
    const QString text = QStringLiteral("Cannot load the overlay picture \"%1\" (%2); frames are recorded without it.")
                             .arg(overlay_.FileName(), overlay_.Problem());
    OnWindowThread([this, text] { ScrCameraError(text); });
}

void TfrmMain::ScrCameraError(const QString& errorMessage) {
    std::fprintf(stderr, "tolm-capture: Error: %s\n", errorMessage.toLocal8Bit().constData());
    // Not waited for: the engine goes on (and may report more) while the box is up.
    errorBoxes_->Show(QMessageBox::NoIcon, QStringLiteral("Error"), errorMessage);
}

}  // namespace tolm
