#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>

#include "app/AppWindows.h"
#include "app/Backdrop.h"
#include "app/DialogOwner.h"
#include "app/EngineChoices.h"
#include "app/MainWindow.h"
#include "app/OptionsDialog.h"
#include "app/PictureButton.h"
#include "app/WindowChoicesFile.h"
#include "platform/Files.h"

namespace tolm {
namespace {

// The delay from a change to its keeping: a run of changes (typing, dragging the window) is written once.
constexpr int kKeepDelayMs = 700;

}  // namespace

WindowChoices TfrmMain::CollectChoices() const {
    WindowChoices c;
    ReadEngineChoices(*ScrCamera, c);
    c.region = RegSelect->currentIndex();
    c.area = typedArea_;
    c.monitor = ComboBoxCurrentMonitor->currentIndex() + 1;
    c.allMonitors = CheckBoxRecordfromallmonitors->isChecked();
    c.outputFile = EditOutputDir->text().toStdString();
    c.recordType = ComboBoxRecType->currentIndex();
    c.colors = ComboBoxColorMode->currentIndex();
    c.priority = ComboBoxVideoPriority->currentIndex();
    c.autoTiming = autoTiming_;
    c.overlay = CheckBoxAddOverlayImage->isChecked();
    c.overlayEffects = CheckBoxAddFilterToOverlay->isChecked();
    c.overlayFile = EditOverlayFile->text().toStdString();
    c.durationOn = CheckBoxRecordingDur->isChecked();
    c.hours = RecordingDuration.Hours;
    c.minutes = RecordingDuration.Minutes;
    c.seconds = RecordingDuration.Seconds;
    c.frameRectangle = CheckBoxRegRect->isChecked();
    c.frameCorners = CheckBoxRegCorn->isChecked();
    c.minimize = CheckBoxMinApp->isChecked();
    c.restore = CheckBoxRestoreApp->isChecked();
    c.updateMs = EditUpdate->text().toInt();
    c.wide = LayoutWidth() == kWideWidth;
    const QPoint outer = OuterPosition();
    c.position = Point{outer.x(), outer.y()};
    return c;
}

// Through the controls and their own handlers, as the user would set them. What no longer fits this machine (a
// monitor gone, an area off it, an output folder removed) keeps the window's default.
void TfrmMain::ApplyChoices(const WindowChoices& c) {
    ComboBoxVideoPriority->setCurrentIndex(c.priority);
    ComboBoxColorMode->setCurrentIndex(c.colors);
    ComboBoxRecType->setCurrentIndex(c.recordType);
    CheckBoxRegRect->setChecked(c.frameRectangle);
    CheckBoxRegCorn->setChecked(c.frameCorners);
    CheckBoxMinApp->setChecked(c.minimize);
    CheckBoxRestoreApp->setChecked(c.restore);
    CheckBoxAddOverlayImage->setChecked(c.overlay);
    CheckBoxAddFilterToOverlay->setChecked(c.overlayEffects);
    EditOverlayFile->setText(QString::fromStdString(c.overlayFile));
    EditHour->setText(QString::number(c.hours));
    EditMin->setText(QString::number(c.minutes));
    EditSec->setText(QString::number(c.seconds));
    CheckBoxRecordingDur->setChecked(c.durationOn);
    EditUpdate->setText(QString::number(c.updateMs));
    if (btnAudioRecord->IsOn() != c.sound) btnAudioRecordClick();
    if (btnRecordCursor->IsOn() != c.cursor) btnRecordCursorClick();
    CheckBoxRecordfromallmonitors->setChecked(c.allMonitors);
    if (c.monitor <= ComboBoxCurrentMonitor->count()) ComboBoxCurrentMonitor->setCurrentIndex(c.monitor - 1);
    if (!c.outputFile.empty() && DirectoryExists(FolderOf(c.outputFile)))
        EditOutputDir->setText(QString::fromStdString(c.outputFile));
    autoTiming_ = c.autoTiming;
    if (TfrmOption* options = AppWindows().option) options->SetAutoTiming(c.autoTiming);
    if (c.wide != (LayoutWidth() == kWideWidth)) SetLayoutWidth(c.wide ? kWideWidth : kCompactWidth);

    const Point origin = ScrCamera->GetMonitorOrigin();
    const Point size = ScrCamera->GetMonitorSize();
    const bool onScreen = !Intersect(c.area, Rect{origin.x, origin.y, size.x, size.y}).Empty();
    typedArea_ = onScreen ? c.area : WindowChoices{}.area;
    ShowTypedArea();
    const QSignalBlocker quiet(RegSelect);  // one apply-all below, whether the region changes or not
    RegSelect->setCurrentIndex(c.region);
    RegSelectChange();
    // After the area and the colours: which compressors are offered depends on them.
    WriteEngineChoices(*ScrCamera, c);
    if (c.position) FitToScreen(QPoint(c.position->x, c.position->y));
}

void TfrmMain::LoadKeptChoices() {
    WindowChoices kept;
    std::string notice;
    switch (LoadWindowChoices(kept, notice)) {
        case KeptChoices::none:
            return;
        case KeptChoices::setAside:
            // Remembering stays on: the next change is kept in a sound file.
            remember_ = true;
            std::fprintf(stderr, "tolm-capture: %s\n", notice.c_str());
            ShowNoticeBox(QString::fromStdString(notice));
            KeepChoicesSoon();
            return;
        case KeptChoices::loaded:
            remember_ = true;
            ApplyChoices(kept);
            return;
    }
}

void TfrmMain::WatchChoices() {
    keepTimer_ = new QTimer(this);
    keepTimer_->setSingleShot(true);
    keepTimer_->setInterval(kKeepDelayMs);
    connect(keepTimer_, &QTimer::timeout, this, [this] { Guarded([this] { KeepChoices(); }); });
    // Connected after the controls' own handlers, so the dialogs a button opens have closed when this runs.
    const auto soon = [this] { KeepChoicesSoon(); };
    for (QComboBox* list : ImageMain->findChildren<QComboBox*>())
        connect(list, &QComboBox::currentIndexChanged, this, soon);
    for (QCheckBox* box : ImageMain->findChildren<QCheckBox*>()) connect(box, &QCheckBox::toggled, this, soon);
    for (QLineEdit* edit : ImageMain->findChildren<QLineEdit*>()) connect(edit, &QLineEdit::textChanged, this, soon);
    for (QAbstractButton* button : ImageMain->findChildren<QAbstractButton*>())
        if (qobject_cast<PictureButton*>(button)) connect(button, &QAbstractButton::clicked, this, soon);
    // A press on the background switches a toggle that is off.
    ImageMain->onPress = [this, press = ImageMain->onPress](const QPoint& pos) {
        press(pos);
        KeepChoicesSoon();
    };
}

void TfrmMain::KeepChoicesSoon() {
    if (remember_ && shown_ && keepTimer_) keepTimer_->start();
}

void TfrmMain::KeepChoices() {
    if (keepTimer_) keepTimer_->stop();
    if (!remember_ || !shown_) return;
    const WindowChoices choices = CollectChoices();
    const std::string text = WindowChoicesText(choices);
    if (text == keptText_) return;
    std::string error;
    if (SaveWindowChoices(choices, error)) {
        keptText_ = text;
    } else if (!keepFailed_) {
        keepFailed_ = true;
        ShowErrorBox(QStringLiteral("Your settings cannot be remembered. %1").arg(QString::fromStdString(error)));
    }
}

void TfrmMain::SetRememberChoices(bool on) {
    remember_ = on;
    keptText_.clear();
    keepFailed_ = false;
    if (on) {
        KeepChoices();
        return;
    }
    if (keepTimer_) keepTimer_->stop();
    if (std::string error; !ForgetWindowChoices(error))
        ShowErrorBox(
            QStringLiteral("Your remembered settings cannot be forgotten. %1").arg(QString::fromStdString(error)));
}

void TfrmMain::ShowNoticeBox(const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Information, QString::fromUtf8(kApplicationTitle), text, QMessageBox::Ok,
                                DialogOwner(this));
    box->setObjectName(QStringLiteral("NoticeBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    KeepInSight(box);
    box->show();
}

}  // namespace tolm
