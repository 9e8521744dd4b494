#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QWindow>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <optional>
#include <tuple>
#include <utility>

#include "app/AboutBox.h"
#include "app/AppWindows.h"
#include "app/Backdrop.h"
#include "app/FileDialogColumns.h"
#include "app/FilterEffectsDialog.h"
#include "app/MainWindow.h"
#include "app/OptionsDialog.h"
#include "app/PictureButton.h"
#include "app/SettingsFile.h"
#include "app/UpDown.h"
#include "selection/TypedArea.h"

namespace tolm {

namespace {

constexpr TPixelFormat kColorModes[] = {TPixelFormat::pf8bit, TPixelFormat::pf16bit, TPixelFormat::pf24bit,
                                        TPixelFormat::pf32bit};

// Up to and including the last "/": the folder part of a path.
QString FolderPart(const QString& path) {
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// AVI first: it is the default. The others are written for sharing.
const QStringList kSaveFilters{QStringLiteral("Avi Files (*.avi)"), QStringLiteral("MP4 Files (*.mp4)"),
                               QStringLiteral("Matroska Files (*.mkv)"), QStringLiteral("All Files (*.*)")};

// "mp4" for "MP4 Files (*.mp4)"; AVI's for a filter without one ending.
QString SuffixOfFilter(const QString& filter) {
    const qsizetype dot = filter.lastIndexOf(QStringLiteral("*."));
    const QString suffix = dot < 0 ? QString() : filter.mid(dot + 2).chopped(1);
    return suffix == QStringLiteral("*") || suffix.isEmpty() ? QStringLiteral("avi") : suffix;
}

}  // namespace

void TfrmMain::ConnectSettingHandlers() {
    const auto on = [this](auto* sender, auto signal, void (TfrmMain::*handler)()) {
        connect(sender, signal, this, [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
    };
    on(RegSelect, &QComboBox::currentIndexChanged, &TfrmMain::RegSelectChange);
    on(EditLeft, &QLineEdit::textChanged, &TfrmMain::EditLeftChange);
    on(EditTop, &QLineEdit::textChanged, &TfrmMain::EditTopChange);
    on(EditWidth, &QLineEdit::textChanged, &TfrmMain::EditWidthChange);
    on(EditHeight, &QLineEdit::textChanged, &TfrmMain::EditHeightChange);
    for (QLineEdit* edit : {EditWidth, EditHeight})
        connect(edit, &QLineEdit::editingFinished, this, [this] { Guarded([this] { TypedSizesAccepted(); }); });
    for (QLineEdit* edit : {EditHour, EditMin, EditSec}) on(edit, &QLineEdit::textChanged, &TfrmMain::EditHourChange);
    on(CheckBoxRecordingDur, &QCheckBox::toggled, &TfrmMain::CheckBoxRecordingDurClick);
    on(EditUpdate, &QLineEdit::textChanged, &TfrmMain::EditUpdateChange);
    on(CheckBoxRecordfromallmonitors, &QCheckBox::toggled, &TfrmMain::CheckBoxRecordfromallmonitorsClick);
    on(ComboBoxCurrentMonitor, &QComboBox::currentIndexChanged, &TfrmMain::ComboBoxCurrentMonitorChange);
    on(ComboBoxVideoPriority, &QComboBox::currentIndexChanged, &TfrmMain::ComboBoxVideoPriorityChange);
    on(ComboBoxColorMode, &QComboBox::currentIndexChanged, &TfrmMain::ComboBoxColorModeChange);
    on(ComboBoxRecType, &QComboBox::currentIndexChanged, &TfrmMain::ComboBoxRecTypeChange);
    on(btnPreview, &QAbstractButton::clicked, &TfrmMain::btnPreviewClick);
    on(btnAudioRecord, &QAbstractButton::clicked, &TfrmMain::btnAudioRecordClick);
    on(btnRecordCursor, &QAbstractButton::clicked, &TfrmMain::btnRecordCursorClick);
    on(btnMoreInfo, &QAbstractButton::clicked, &TfrmMain::btnMoreInfoClick);
    on(btnChooseSaveFile, &QAbstractButton::clicked, &TfrmMain::btnChooseSaveFileClick);
    on(BtnOpenSaveFolder, &QAbstractButton::clicked, &TfrmMain::BtnOpenSaveFolderClick);
    on(btnChooseOverlayFile, &QAbstractButton::clicked, &TfrmMain::btnChooseOverlayFileClick);
    on(AudVidOptBut, &QAbstractButton::clicked, &TfrmMain::AudVidOptButClick);
    on(FilterEffectsBut, &QAbstractButton::clicked, &TfrmMain::FilterEffectsButClick);
    on(ButtonHelp, &QAbstractButton::clicked, &TfrmMain::ButtonHelpClick);
    on(RecBut, &QAbstractButton::clicked, &TfrmMain::RecButClick);
    on(PauseBut, &QAbstractButton::clicked, &TfrmMain::PauseButClick);
    on(StopBut, &QAbstractButton::clicked, &TfrmMain::StopButClick);
    on(ExitBut, &QAbstractButton::clicked, &TfrmMain::ExitButClick);
    on(BCancel, &QAbstractButton::clicked, &TfrmMain::BCancelClick);

    // Settings that write through at once, also while recording.
    const auto write = [this](QCheckBox* box, void (TScreenCamera::*setter)(bool)) {
        connect(box, &QCheckBox::toggled, this, [this, setter](bool on) { ((*ScrCamera).*setter)(on); });
    };
    write(CheckBoxRegRect, &TScreenCamera::SetDrawAreaCapture);
    write(CheckBoxRegCorn, &TScreenCamera::SetLineRectClear);
    write(CheckBoxMinApp, &TScreenCamera::SetMinimizeAppOnStart);
    write(CheckBoxRestoreApp, &TScreenCamera::SetRestoreAppOnStop);
    write(CheckBoxAddOverlayImage, &TScreenCamera::SetOvelayDrawing);
    write(CheckBoxAddFilterToOverlay, &TScreenCamera::SetEffectToOvelayDraw);
    connect(EditOverlayFile, &QLineEdit::textChanged, this,
            [this](const QString& text) { overlay_.SetFileName(text); });
}

// Apply all: the whole configuration of the controls into the engine.
void TfrmMain::RegSelectChange() {
    // Edits rewritten below run their handlers, which would come back here.
    if (applying_ || ScrCamera->Recording()) return;
    applying_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{applying_};

    TScreenCamera& c = *ScrCamera;
    c.SetVideoPriority(static_cast<TThreadPriority>(std::max(0, ComboBoxVideoPriority->currentIndex())));
    c.SetColors(kColorModes[std::clamp(ComboBoxColorMode->currentIndex(), 0, 3)]);
    c.SetRecordType(static_cast<TTypeRecord>(std::clamp(ComboBoxRecType->currentIndex(), 0, 2)));
    c.SetRecordCursor(btnRecordCursor->IsOn());
    c.SetOvelayDrawing(CheckBoxAddOverlayImage->isChecked());
    c.SetDrawAreaCapture(CheckBoxRegRect->isChecked());
    c.SetLineRectClear(CheckBoxRegCorn->isChecked());
    c.SetMinimizeAppOnStart(CheckBoxMinApp->isChecked());
    c.SetRestoreAppOnStop(CheckBoxRestoreApp->isChecked());
    c.SetRecordAllMonitors(CheckBoxRecordfromallmonitors->isChecked());
    c.SetPreview(btnPreview->IsOn());  // an active preview restarts with the new settings
    c.SetEffectToOvelayDraw(CheckBoxAddFilterToOverlay->isChecked());
    RebuildRecordingDuration();
    ApplyRegion();
}

void TfrmMain::ApplyRegion() {
    const int index = RegSelect->currentIndex();
    const bool leftTop = index == 3;
    const bool size = index == 2 || index == 3;
    const bool appearance = index != 4;
    TScreenArea& area = ScrCamera->ScreenArea();
    // Back to a region of typed values: the values typed, not what the preview wrote into the edits meanwhile.
    if (size && index != shownRegion_) ShowTypedArea();
    if (index == 2 || index == 3) {
        int top = 0, left = 0, width = 0, height = 0;
        if (!ReadEditNumber(EditTop, INT_MAX, top) || !ReadEditNumber(EditLeft, INT_MAX, left) ||
            !ReadEditNumber(EditWidth, INT_MAX, width) || !ReadEditNumber(EditHeight, INT_MAX, height))
            return;
        area.SetScreenTop(top);
        area.SetScreenLeft(left);
        if (width >= 1) area.SetScreenWidth(width);
        if (height >= 1) area.SetScreenHeight(height);
    } else if (index == 4) {
        // The edits keep the area held until now; the full-screen area reaches them with the next preview event.
        const Rect held = area.Bounds();
        SetEditText(EditTop, QString::number(held.top));
        SetEditText(EditLeft, QString::number(held.left));
        SetEditText(EditWidth, QString::number(held.width));
        SetEditText(EditHeight, QString::number(held.height));
    }
    EditLeft->setEnabled(leftTop);
    EditTop->setEnabled(leftTop);
    EditWidth->setEnabled(size);
    EditHeight->setEnabled(size);
    CheckBoxRegRect->setEnabled(appearance);
    CheckBoxRegCorn->setEnabled(appearance);
    static constexpr TScreenRegion kRegions[] = {TScreenRegion::SelObject, TScreenRegion::FreeHand,
                                                 TScreenRegion::FixedMoving, TScreenRegion::FixedStable,
                                                 TScreenRegion::FullScreen};
    if (index == 4) ScrCamera->SetFullScreenArea();
    if (index >= 0 && index <= 4) area.SetScreenRegion(kRegions[index]);
    shownRegion_ = index;
    UpDownLeft->setEnabled(EditLeft->isEnabled());
    UpDownTop->setEnabled(EditTop->isEnabled());
    UpDownWidth->setEnabled(EditWidth->isEnabled());
    UpDownHeight->setEnabled(EditHeight->isEnabled());
}

void TfrmMain::SetEditText(QLineEdit* edit, const QString& text) {
    // Like a typed change: a different text runs the edit's change handler; but it is no value the user typed.
    const bool outer = writingEdits_;
    writingEdits_ = true;
    edit->setText(text);
    writingEdits_ = outer;
}

void TfrmMain::NoteTypedValue(const QLineEdit* edit, int value) {
    if (writingEdits_) return;
    if (edit == EditLeft) typedArea_.left = value;
    if (edit == EditTop) typedArea_.top = value;
    if (edit == EditWidth) typedArea_.width = value;
    if (edit == EditHeight) typedArea_.height = value;
}

void TfrmMain::ShowTypedArea() {
    SetEditText(EditLeft, QString::number(typedArea_.left));
    SetEditText(EditTop, QString::number(typedArea_.top));
    SetEditText(EditWidth, QString::number(typedArea_.width));
    SetEditText(EditHeight, QString::number(typedArea_.height));
}

bool TfrmMain::ReadEditNumber(QLineEdit* edit, int max, int& value) {
    if (edit->text().isEmpty()) {
        const QSignalBlocker quiet(edit);  // this handler goes on with the new text itself
        edit->setText(QStringLiteral("0"));
    }
    bool ok = false;
    const int number = edit->text().toInt(&ok);
    if (!ok) {
        ShowErrorBox(QStringLiteral("'%1' is not a valid integer value").arg(edit->text()));
        return false;
    }
    value = number;
    if (number > max) {
        const QSignalBlocker quiet(edit);
        edit->setText(QString::number(max));
        value = max;
    }
    return true;
}

void TfrmMain::SetAreaBounds() {
    const Point origin = ScrCamera->GetMonitorOrigin();
    const Point size = ScrCamera->GetMonitorSize();
    // Of the chosen monitor wherever it lies on the desktop, not only of one at the desktop's origin.
    UpDownTop->SetRange(origin.y, origin.y + size.y);
    UpDownHeight->SetRange(1, size.y);
    UpDownLeft->SetRange(origin.x, origin.x + size.x);
    UpDownWidth->SetRange(1, size.x);
}

void TfrmMain::AreaEditChange(QLineEdit* edit, TUpDown* upDown, void (TScreenArea::*write)(int)) {
    SetAreaBounds();
    int value = 0;
    if (!ReadEditNumber(edit, upDown->Max(), value)) return;
    NoteTypedValue(edit, value);
    (ScrCamera->ScreenArea().*write)(value);
    // While the preview runs it writes the area back into the edits itself.
    if (!btnPreview->IsOn()) RegSelectChange();
}

void TfrmMain::EditLeftChange() {
    AreaEditChange(EditLeft, UpDownLeft, &TScreenArea::SetScreenLeft);
}
void TfrmMain::EditTopChange() {
    AreaEditChange(EditTop, UpDownTop, &TScreenArea::SetScreenTop);
}
void TfrmMain::EditWidthChange() {
    SizeEditChange(EditWidth, UpDownWidth, true);
}
void TfrmMain::EditHeightChange() {
    SizeEditChange(EditHeight, UpDownHeight, false);
}

void TfrmMain::SizeEditChange(QLineEdit* edit, TUpDown* upDown, bool width) {
    SetAreaBounds();
    int value = 0;
    if (!ReadEditNumber(edit, upDown->Max(), value)) return;
    const Point origin = ScrCamera->GetMonitorOrigin();
    const Point size = ScrCamera->GetMonitorSize();
    const std::optional<Rect> area =
        WithTypedSize(ScrCamera->ScreenArea().Bounds(), width, value, Rect{origin.x, origin.y, size.x, size.y});
    if (!area) return;
    ScrCamera->ScreenArea().SetBounds(*area);
    if (!writingEdits_) typedArea_ = *area;  // the size as typed, and the place it moved the area to
    for (const auto& [shown, at] : {std::pair{EditLeft, area->left}, std::pair{EditTop, area->top}}) {
        const QSignalBlocker quiet(shown);
        shown->setText(QString::number(at));
    }
    if (!btnPreview->IsOn()) RegSelectChange();
}

bool TfrmMain::TypedSizesAccepted() {
    const Rect area = ScrCamera->ScreenArea().Bounds();
    for (const auto& [edit, name, kept] :
         {std::tuple{EditWidth, "width", area.width}, std::tuple{EditHeight, "height", area.height}}) {
        bool number = false;
        if (!edit->isEnabled() || edit->text().toInt(&number) >= 1 || !number) continue;
        SetEditText(edit, QString::number(kept));
        ShowErrorBox(QStringLiteral("The %1 of the area must be at least 1 pixel; it stays %2.")
                         .arg(QLatin1String(name))
                         .arg(kept));
        return false;
    }
    return true;
}

// Values above an edit's up-down range are held at its maximum: the 8-bit fields would otherwise keep only the
// low bits, and 256 seconds would become no limit at all.
void TfrmMain::RebuildRecordingDuration() {
    int hours = 0, minutes = 0, seconds = 0;
    if (!ReadEditNumber(EditHour, UpDownHour->Max(), hours) || !ReadEditNumber(EditMin, UpDownMin->Max(), minutes) ||
        !ReadEditNumber(EditSec, UpDownSec->Max(), seconds))
        return;
    const auto field = [](int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
    RecordingDuration =
        TRecordingDuration{CheckBoxRecordingDur->isChecked(), field(hours), field(minutes), field(seconds)};
    ScrCamera->SetRecordingDuration(RecordingDuration);
}

void TfrmMain::EditHourChange() {
    RebuildRecordingDuration();
}

void TfrmMain::CheckBoxRecordingDurClick() {
    RebuildRecordingDuration();
    const bool on = CheckBoxRecordingDur->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{EditHour, EditMin, EditSec, UpDownHour, UpDownMin, UpDownSec})
        w->setEnabled(on);
    const QString colour = on ? QStringLiteral("color: white;") : QStringLiteral("color: rgb(160, 160, 164);");
    for (QLabel* label : {LabelHour, LabelMin, LabelSec}) label->setStyleSheet(colour);
}

void TfrmMain::EditUpdateChange() {
    int value = 0;
    if (ReadEditNumber(EditUpdate, UpDownUpdate->Max(), value)) ScrCamera->SetUpdateRate(value);
}

void TfrmMain::CheckBoxRecordfromallmonitorsClick() {
    const bool all = CheckBoxRecordfromallmonitors->isChecked();
    ScrCamera->SetRecordAllMonitors(all);
    ComboBoxCurrentMonitor->setEnabled(!all);
    LabeCurrentMonitor->setEnabled(!all);
    RegSelectChange();  // the full screen follows
}

void TfrmMain::ComboBoxCurrentMonitorChange() {
    ScrCamera->SetCurrentMonitor(ComboBoxCurrentMonitor->currentIndex() + 1);
    RegSelectChange();
}

void TfrmMain::ComboBoxVideoPriorityChange() {
    if (const int i = ComboBoxVideoPriority->currentIndex(); i >= 0)
        ScrCamera->SetVideoPriority(static_cast<TThreadPriority>(i));
}

void TfrmMain::ComboBoxColorModeChange() {
    if (const int i = ComboBoxColorMode->currentIndex(); i >= 0 && i < 4) ScrCamera->SetColors(kColorModes[i]);
}

void TfrmMain::ComboBoxRecTypeChange() {
    if (const int i = ComboBoxRecType->currentIndex(); i >= 0 && i < 3)
        ScrCamera->SetRecordType(static_cast<TTypeRecord>(i));
}

void TfrmMain::btnPreviewClick() {
    btnPreview->SetOn(!btnPreview->IsOn());
    RegSelectChange();
    ScrCamera->SetPreview(btnPreview->IsOn());  // also while recording, when apply-all does nothing
}

void TfrmMain::btnAudioRecordClick() {
    btnAudioRecord->SetOn(!btnAudioRecord->IsOn());
    ScrCamera->SetUseAudioRecord(btnAudioRecord->IsOn());
}

void TfrmMain::btnRecordCursorClick() {
    btnRecordCursor->SetOn(!btnRecordCursor->IsOn());
    ScrCamera->SetRecordCursor(btnRecordCursor->IsOn());
}

// A press on the background: a toggle that is off under it is switched on; elsewhere the window is
// dragged by it.
void TfrmMain::ImageMainMouseDown(const QPoint& pos) {
    const auto strictlyInside = [&pos](const QWidget* w) {
        const QRect r = w->geometry();
        return r.left() < pos.x() && pos.x() < r.left() + r.width() && r.top() < pos.y() &&
               pos.y() < r.top() + r.height();
    };
    const std::pair<PictureButton*, void (TfrmMain::*)()> toggles[] = {
        {btnPreview, &TfrmMain::btnPreviewClick},
        {btnAudioRecord, &TfrmMain::btnAudioRecordClick},
        {btnRecordCursor, &TfrmMain::btnRecordCursorClick}};
    bool toggled = false;
    for (const auto& [toggle, handler] : toggles) {
        if (!toggle->IsOn() && strictlyInside(toggle)) {
            (this->*handler)();
            toggled = true;
        }
    }
    if (!toggled && windowHandle()) windowHandle()->startSystemMove();
}

void TfrmMain::btnMoreInfoClick() {
    SetLayoutWidth(LayoutWidth() == kWideWidth ? kCompactWidth : kWideWidth);
}

void TfrmMain::btnChooseSaveFileClick() {
    const QString current = EditOutputDir->text();
    QFileDialog dialog(this, QStringLiteral("Save To File"), FolderPart(current),
                       kSaveFilters.join(QStringLiteral(";;")));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The chosen type's ending goes on a name typed without one; the name shown picks its own type.
    const QString suffix = QFileInfo(current).suffix().toLower();
    const auto named = std::find_if(kSaveFilters.begin(), kSaveFilters.end(),
                                    [&](const QString& filter) { return SuffixOfFilter(filter) == suffix; });
    if (named != kSaveFilters.end()) dialog.selectNameFilter(*named);
    dialog.setDefaultSuffix(SuffixOfFilter(dialog.selectedNameFilter()));
    connect(&dialog, &QFileDialog::filterSelected, &dialog,
            [&dialog](const QString& filter) { dialog.setDefaultSuffix(SuffixOfFilter(filter)); });
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.selectFile(QFileInfo(current).fileName());
    FitFileDialogColumns(dialog);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        EditOutputDir->setText(dialog.selectedFiles().front());
}

void TfrmMain::BtnOpenSaveFolderClick() {
    ShellOpen(FolderPart(EditOutputDir->text()).toStdString());
}

void TfrmMain::btnChooseOverlayFileClick() {
    const QString current = EditOverlayFile->text();
    QFileDialog dialog(this, QString(), FolderPart(current), QStringLiteral("BMP File (*.bmp)"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.selectFile(QFileInfo(current).fileName());
    FitFileDialogColumns(dialog);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        EditOverlayFile->setText(dialog.selectedFiles().front());
}

void TfrmMain::AudVidOptButClick() {
    TfrmOption* options = AppWindows().option;
    if (!options) return;
    options->SetRememberSettings(remember_);
    const bool ok = options->exec() == QDialog::Accepted;
    // Its OK writes the sound setting too; the toggle shows what the engine will record.
    btnAudioRecord->SetOn(ScrCamera->UseAudioRecord());
    autoTiming_ = options->AutoTiming();  // kept by the dialog, also when cancelled
    if (ok && options->RememberSettings() != remember_) SetRememberChoices(options->RememberSettings());
}

void TfrmMain::FilterEffectsButClick() {
    if (TfrmFilterEffects* effects = AppWindows().filterEffects) effects->exec();
}

void TfrmMain::ButtonHelpClick() {
    menuHelp->popup(ButtonHelp->mapToGlobal(QPoint(2, ButtonHelp->height())));
}

void TfrmMain::menuAboutClick() {
    TFormAbout about(this);
    about.adjustSize();
    const QRect outer = frameGeometry();
    about.move(outer.left() + (outer.width() - about.width()) / 2, outer.top() + (outer.height() - about.height()) / 2);
    about.exec();
}

}  // namespace tolm
