#pragma once

#include <QDialog>
#include <QPoint>

#include <optional>

#include "capture/CameraTypes.h"
#include "platform/ScreenBackend.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace tolm {

class TScreenCamera;

// The modal "Audio/Video Options" dialog: compressor, quality, key frames, frame timing with its automatic
// mode, and the sound settings of the engine. One instance lives for the whole run; every showing reloads the
// engine's lists and values, OK writes them back and Cancel writes nothing (the input line and its volume
// act on the mixer at once and stay).
class TfrmOption final : public QDialog {
    Q_OBJECT

  public:
    explicit TfrmOption(TScreenCamera& camera, QWidget* parent = nullptr);
    ~TfrmOption() override;

    void setVisible(bool visible) override;

    // "Remember my settings": shown as the main window last set it, read back by it after OK.
    bool RememberSettings() const;
    void SetRememberSettings(bool on);
    // The automatic frame timing box, which the dialog keeps between showings.
    bool AutoTiming() const;
    void SetAutoTiming(bool on);

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private slots:
    void FormShow();
    void VideoCompressorClick();
    void AboutBClick();
    void ConfigBClick();
    void VideoQualityChange();
    void AudioRecordClick();
    void AudioInputClick(int index);
    void AudioVolumeChange();
    void AutoModeClick();
    void TrackBarRecordChange();
    void TrackBarPlaybackChange();
    void Button2Click();
    void Button3Click();

  private:
    void BuildControls();
    void UpdateLabels();
    void UpdateCompressorButtons();
    // The line chosen in the input list as the engine last read it; none without a selection.
    std::optional<AudioInfo> SelectedLine() const;
    // Shows the chosen line's volume without writing it back; a line without a volume control (or no line)
    // leaves the bar disabled at 0.
    void ShowLineVolume(bool enable);
    void SetVolumeBar(int position, bool enabled);
    void ShowError(const QString& text);
    template <typename Fn>
    void Guarded(Fn&& fn);

    TScreenCamera& camera_;
    int FRecordMSPF = 0;
    int FPlaybackFPS = 0;
    bool shownBefore_ = false;
    std::optional<QPoint> lastPosition_;

    QComboBox* VideoCompressor = nullptr;
    QPushButton* AboutB = nullptr;
    QPushButton* ConfigB = nullptr;
    QSlider* VideoQuality = nullptr;
    QLabel* LabelQuality = nullptr;
    QCheckBox* AudioRecord = nullptr;
    QLabel* audioFormatLabel_ = nullptr;
    QComboBox* AudioFormat = nullptr;
    QLabel* audioInputLabel_ = nullptr;
    QComboBox* AudioInput = nullptr;
    QComboBox* ScreenSource = nullptr;                       // ScreenBackend's order: automatic, x11, portal
    ScreenBackend shownBackend_ = ScreenBackend::automatic;  // the kept choice the list showed
    QLabel* audioVolumeLabel_ = nullptr;
    QSlider* AudioVolume = nullptr;
    QLabel* LabelVolume = nullptr;
    QCheckBox* AutoMode = nullptr;
    QSlider* TrackBarRecord = nullptr;
    QLabel* labelmspFrecord = nullptr;
    QLineEdit* EditKeyFrames = nullptr;
    QSlider* TrackBarPlayback = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* labelFPSPlayback = nullptr;
    QCheckBox* RememberSettingsBox = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
};

}  // namespace tolm
