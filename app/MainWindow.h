#pragma once

#include <QImage>
#include <QMainWindow>
#include <QRect>
#include <QSize>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "app/DesktopAbilities.h"
#include "app/LatestPreview.h"
#include "app/OverlayPicture.h"
#include "app/RecorderStatus.h"
#include "app/WindowChoices.h"
#include "capture/CameraTypes.h"
#include "capture/ScreenArea.h"
#include "capture/ScreenCamera.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QScrollArea;
class QTimer;

namespace tolm {

class ErrorBoxes;
class PictureButton;
class TBackdrop;
class TUpDown;
class TrayIndicator;

// The one window from which the user drives the recorder. It owns the capture engine `ScrCamera`, writes the
// controls' settings into it and shows what it reports. Engine events from the recording worker reach the
// widgets on the window's thread only.
class TfrmMain : public QMainWindow {
    Q_OBJECT

  public:
    explicit TfrmMain(EngineServices services, QWidget* parent = nullptr);
    // Waits for a running recording worker (cancelling its recording) before the engine goes.
    ~TfrmMain() override;

    TScreenCamera& Camera() { return *ScrCamera; }

    static constexpr int kCompactWidth = 590;
    static constexpr int kWideWidth = 900;
    static constexpr int kClientHeight = 660;
    static constexpr QRect kPreviewHome{18, 273, 554, 300};

    // Where a frame of `frame` size shows when the preview box currently is `box`: shrunk to fit with its
    // aspect kept (never enlarged) and centred on the home box's centre.
    static QRect FitPreview(QSize frame, QRect box);

    // The statistics' texts of the free disk space (MB) and of the recording time left (s); "-" when unknown.
    static QString FreeDiskText(std::int64_t megabytes);
    // "+35 ppm": how far the sound input's clock runs from the system's; "-" while unknown.
    static QString SoundClockText(double ppm);
    static QString TimeLeftText(std::int64_t seconds);

    // `wanted` when no file has that name, else the first free one of "<name> (recovered).<ext>",
    // "<name> (recovered 2).<ext>", ...: a recovered recording never replaces a file.
    static QString RecoveryFileName(const QString& wanted);

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;  // MainWindowKeyboard.cpp

  private:
    // --- Creation and layout (MainWindow.cpp, MainWindowLayout.cpp) ---
    void ConfigureEngine();
    void FormCreate();
    void FormShow();
    void BuildLeftPanel();
    void BuildRightPanel();
    void BuildMonitorControls();
    void BuildHelpMenu();
    void ConnectSettingHandlers();
    QLabel* AddLabel(const QString& text, const QRect& geometry, const char* name = nullptr);
    QLineEdit* AddNumberEdit(const char* name, const QRect& geometry, TUpDown*& upDown, const char* upDownName);
    PictureButton* AddButton(const char* name, const char* icon, const QColor& accent, const QRect& geometry,
                             const QString& hint = QString());
    QCheckBox* AddCheckBox(const char* name, const QString& text, const QPoint& at, bool checked);
    QComboBox* AddList(const char* name, const QStringList& items, const QRect& geometry);
    // The help button's place at the right end of the title band of a window this wide.
    static QRect HelpButtonGeometry(int windowWidth);

    // --- Size and place on the screen (MainWindowPlacement.cpp) ---
    // The backdrop in a scroll area: a screen too small for the fixed layout shows what fits and scrolls.
    void SetUpScrolling();
    int LayoutWidth() const;
    void SetLayoutWidth(int width);
    // Sizes the window to the layout, or to the screen where that is smaller, and moves its outer top-left corner
    // as near to `wanted` as keeps it wholly on the screen it is (mostly) on.
    void FitToScreen(const QPoint& wanted);
    // The outer top-left corner, frame included.
    QPoint OuterPosition() const;
    void PlaceOnFirstShow();
    // Once the window manager's frame is known: the fit again, frame included.
    void SettleFrame();

    // --- Remembered choices (MainWindowChoices.cpp) ---
    WindowChoices CollectChoices() const;
    void ApplyChoices(const WindowChoices& choices);
    void LoadKeptChoices();
    // Every change of a control (and of the window's place) keeps the choices a moment later.
    void WatchChoices();
    void KeepChoicesSoon();
    void KeepChoices();
    void SetRememberChoices(bool on);
    void ShowNoticeBox(const QString& text);

    // --- Settings (MainWindowSettings.cpp) ---
    void RegSelectChange();  // apply all
    void ApplyRegion();
    void AreaEditChange(QLineEdit* edit, TUpDown* upDown, void (TScreenArea::*write)(int));
    void SetAreaBounds();
    // Notes a value the user typed into an area edit (or stepped with its arrows) as the region's own.
    void NoteTypedValue(const QLineEdit* edit, int value);
    // Writes the typed area into the four edits.
    void ShowTypedArea();
    void EditLeftChange();
    void EditTopChange();
    void EditWidthChange();
    void EditHeightChange();
    // A typed width or height: the area takes it, moved back onto the monitor where it would reach past its
    // edge; a size below 1 is held back from the area until TypedSizesAccepted refuses it.
    void SizeEditChange(QLineEdit* edit, TUpDown* upDown, bool width);
    // False, after the error box, when an open size edit shows a width or height below 1; it then shows the
    // area's own again.
    bool TypedSizesAccepted();
    void EditHourChange();
    void CheckBoxRecordingDurClick();
    void EditUpdateChange();
    void CheckBoxRecordfromallmonitorsClick();
    void ComboBoxCurrentMonitorChange();
    void ComboBoxVideoPriorityChange();
    void ComboBoxColorModeChange();
    void ComboBoxRecTypeChange();
    void RebuildRecordingDuration();
    // The edit's number; an empty edit first becomes "0", a number above `max` becomes `max`. False (after
    // the error box) when the text is not a whole number.
    bool ReadEditNumber(QLineEdit* edit, int max, int& value);
    void SetEditText(QLineEdit* edit, const QString& text);
    void btnPreviewClick();
    void btnAudioRecordClick();
    void btnRecordCursorClick();
    void ImageMainMouseDown(const QPoint& pos);
    void btnMoreInfoClick();
    void btnChooseSaveFileClick();
    void BtnOpenSaveFolderClick();
    void btnChooseOverlayFileClick();
    void AudVidOptButClick();
    void FilterEffectsButClick();
    void ButtonHelpClick();
    void menuAboutClick();
    // Runs a handler, showing any exception in the error box instead of letting it escape into the toolkit.
    void Guarded(const std::function<void()>& handler);
    void ShowErrorBox(const QString& text);

    // --- Recording control and engine events (MainWindowRecording.cpp) ---
    void BindEngineEvents();
    void RecButClick();
    void PauseButClick();
    void StopButClick();
    void ExitButClick();
    void BCancelClick();
    bool FormCloseQuery() const { return FCanClose; }
    void SetRecordingControls(bool recording);
    void ScrCameraStart();
    void ScrCameraStop();
    // The worker has ended, its save and deletions included: the window is idle again.
    void ScrCameraFinished();
    void ScrCameraPreview(const QImage& frame, bool hasFrame, bool preview, bool recording);
    // Sets a state line and, when its text changes, writes it to standard error too, so a log (or a test
    // driving the window) can follow what the window shows.
    void ShowState(QLabel* label, const QString& text);
    void ScrCameraUpdate();
    // The saving and deleting progress; answers whether the engine goes on with the step.
    bool ScrCameraSaving(int percent, const QString& statusCaption);
    void ScrCameraOverlay(Bitmap& frame);
    void ScrCameraError(const QString& errorMessage);
    // Runs fn on the window's thread: at once when already there, else queued (dropped with the window).
    void OnWindowThread(std::function<void()> fn);
    bool AnswerSaveReport(int percent, const std::string& caption);
    void WaitForWorker();

    // --- What the desktop allows (MainWindowDesktop.cpp) and the tray icon (MainWindowTray.cpp) ---
    // The region choices that cannot work here are disabled, with a hint.
    void ApplyDesktopAbilities();
    void CreateTray();
    // The tray icon follows the recording's time and pause.
    void FollowEngineInTray();
    void ShowRecorderStatus();
    void TrayCancelClick();
    // "Saving Success..." with the file, after a save; else "No Status".
    QString IdleStatusText() const;

    // --- Interrupted recordings (MainWindowRecovery.cpp) ---
    // Once the window is up: one question per recording an earlier run left, saved or deleted by the answer.
    void OfferLeftoverRecordings();
    // Saves it beside the file it was meant for (else the output file) under a name of its own, says where, with
    // the usual progress, the window kept alive meanwhile.
    void RecoverIntoOutputFolder(const TScreenCamera::LeftoverRecording& leftover);
    // The save of RecoverLeftover run beside the window's loop, the controls that start a recording held; whether
    // it saved.
    bool SaveLeftover(const TScreenCamera::LeftoverRecording& leftover, const std::string& output);
    // A recording ended by the Escape key is kept until the next recording starts or the program ends; the status
    // line offers its save meanwhile.
    void OfferCancelledRecording();
    void SaveCancelledRecording();
    void DiscardCancelledRecording();

    MainThread& mainThread_;
    std::unique_ptr<TScreenCamera> ScrCamera;
    Host& host_;  // asks the questions about interrupted recordings

    TRecordingDuration RecordingDuration;
    bool FCanClose = true;
    bool FCancelSave = false;
    // A close refused for a recording's save: the window goes once the save has finished.
    bool closeAfterSave_ = false;
    ErrorBoxes* errorBoxes_ = nullptr;
    DesktopAbilities desktop_;
    RecorderStatus recorderStatus_;
    TrayIndicator* tray_ = nullptr;
    // Set when the window starts going: engine events then touch no widget.
    std::atomic<bool> closing_{false};
    bool shown_ = false;
    bool applying_ = false;
    bool writingEdits_ = false;  // the window itself is writing the area edits, not the user
    Rect typedArea_{0, 0, 300, 300};
    int shownRegion_ = 2;
    bool remember_ = false;
    bool keepFailed_ = false;  // told once per run
    bool autoTiming_ = true;   // the options dialog's box, as last closed
    std::string keptText_;
    QTimer* keepTimer_ = nullptr;
    bool settleFrame_ = false;  // the window manager's frame is not known yet
    QPoint placedAt_;           // the outer top-left corner last asked for
    QPoint normalPosition_;     // where the window was before it was minimised
    TOverlayPicture overlay_;
    LatestPreview latestPreview_;

    QScrollArea* scroller_ = nullptr;
    TBackdrop* ImageMain = nullptr;
    QComboBox* RegSelect = nullptr;
    QLineEdit* EditLeft = nullptr;
    QLineEdit* EditTop = nullptr;
    QLineEdit* EditWidth = nullptr;
    QLineEdit* EditHeight = nullptr;
    TUpDown* UpDownLeft = nullptr;
    TUpDown* UpDownTop = nullptr;
    TUpDown* UpDownWidth = nullptr;
    TUpDown* UpDownHeight = nullptr;
    QLineEdit* EditOutputDir = nullptr;
    PictureButton* BtnOpenSaveFolder = nullptr;
    PictureButton* btnChooseSaveFile = nullptr;
    PictureButton* RecBut = nullptr;
    PictureButton* PauseBut = nullptr;
    PictureButton* StopBut = nullptr;
    PictureButton* AudVidOptBut = nullptr;
    PictureButton* FilterEffectsBut = nullptr;
    PictureButton* btnPreview = nullptr;
    PictureButton* btnAudioRecord = nullptr;
    PictureButton* btnRecordCursor = nullptr;
    PictureButton* btnMoreInfo = nullptr;
    PictureButton* ButtonHelp = nullptr;
    PictureButton* BCancel = nullptr;
    PictureButton* ExitBut = nullptr;
    QLabel* LabelPreview = nullptr;
    QLabel* ImagePreview = nullptr;
    QLabel* LStatus = nullptr;
    QProgressBar* Progress = nullptr;
    QMenu* menuHelp = nullptr;

    QCheckBox* CheckBoxAddFilterToOverlay = nullptr;
    QCheckBox* CheckBoxAddOverlayImage = nullptr;
    QLineEdit* EditOverlayFile = nullptr;
    PictureButton* btnChooseOverlayFile = nullptr;
    QCheckBox* CheckBoxRecordingDur = nullptr;
    QLineEdit* EditHour = nullptr;
    QLineEdit* EditMin = nullptr;
    QLineEdit* EditSec = nullptr;
    TUpDown* UpDownHour = nullptr;
    TUpDown* UpDownMin = nullptr;
    TUpDown* UpDownSec = nullptr;
    QLabel* LabelHour = nullptr;
    QLabel* LabelMin = nullptr;
    QLabel* LabelSec = nullptr;
    QCheckBox* CheckBoxRegRect = nullptr;
    QCheckBox* CheckBoxRegCorn = nullptr;
    QCheckBox* CheckBoxMinApp = nullptr;
    QCheckBox* CheckBoxRestoreApp = nullptr;
    QComboBox* ComboBoxVideoPriority = nullptr;
    QComboBox* ComboBoxColorMode = nullptr;
    QComboBox* ComboBoxRecType = nullptr;
    QLabel* VideoCodecValue = nullptr;
    QLabel* ElapsedTimeValue = nullptr;
    QLabel* RealCapturingValue = nullptr;
    QLabel* CurrentCapturedValue = nullptr;
    QLabel* FramesCapturedValue = nullptr;
    QLabel* DropedFramesValue = nullptr;
    QLabel* FreeDiskValue = nullptr;
    QLabel* TimeLeftValue = nullptr;
    QLabel* SoundClockValue = nullptr;

    QCheckBox* CheckBoxRecordfromallmonitors = nullptr;
    QComboBox* ComboBoxCurrentMonitor = nullptr;
    QLabel* LabeCurrentMonitor = nullptr;
    QLineEdit* EditUpdate = nullptr;
    TUpDown* UpDownUpdate = nullptr;
};

}  // namespace tolm
