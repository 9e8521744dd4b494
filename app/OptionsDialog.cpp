#include "app/OptionsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <exception>
#include <utility>

#include "app/AppWindows.h"
#include "app/ScreenBackendChoice.h"
#include "capture/ScreenCamera.h"

namespace tolm {
namespace {

constexpr int kClientWidth = 439;
constexpr int kClientHeight = 433;
constexpr int kAutoModeMaxFps = 60;
constexpr int kManualMaxFps = 1000;

QSlider* MakeSlider(QWidget* parent, const char* name, int minimum, int maximum, int position) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(QString::fromLatin1(name));
    slider->setRange(minimum, maximum);
    slider->setValue(position);
    return slider;
}

QComboBox* MakeList(QWidget* parent, const char* name) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(name));
    // Long codec and line names must not widen the fixed-size dialog.
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    list->setMinimumContentsLength(8);
    return list;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, const char* name = nullptr) {
    auto* label = new QLabel(text, parent);
    if (name) label->setObjectName(QString::fromLatin1(name));
    return label;
}

void Fill(QComboBox* list, const std::vector<std::string>& items) {
    const QSignalBlocker block(list);
    list->clear();
    for (const std::string& item : items) list->addItem(QString::fromStdString(item));
}

// The dialog's size, or what its texts need when that is more.
void FitFixedSize(QDialog& dialog) {
    dialog.setFixedSize(QSize(kClientWidth, kClientHeight).expandedTo(dialog.minimumSizeHint()));
}

// Delphi-like list selection: an index the list does not hold selects nothing.
void Select(QComboBox* list, int index) {
    const QSignalBlocker block(list);
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

}  // namespace

TfrmOption::TfrmOption(TScreenCamera& camera, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), camera_(camera) {
    setObjectName(QStringLiteral("frmOption"));
    setWindowTitle(QStringLiteral("Audio/Video Options"));
    QFont smaller = font();
    smaller.setPointSize(9);
    setFont(smaller);
    BuildControls();
    FitFixedSize(*this);
    AudioRecordClick();
    AutoModeClick();
}

TfrmOption::~TfrmOption() = default;

void TfrmOption::BuildControls() {
    auto* settings = new QGroupBox(QStringLiteral("Video / Audio Settings"), this);
    auto* grid = new QGridLayout(settings);
    grid->setVerticalSpacing(4);

    VideoCompressor = MakeList(settings, "VideoCompressor");
    // The compressors' descriptions are ours and few: their list has a row of its own and shows the longest whole.
    VideoCompressor->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    AboutB = new QPushButton(QStringLiteral("About"), settings);
    AboutB->setObjectName(QStringLiteral("AboutB"));
    ConfigB = new QPushButton(QStringLiteral("Configure"), settings);
    ConfigB->setObjectName(QStringLiteral("ConfigB"));
    auto* codecButtons = new QHBoxLayout;
    codecButtons->addStretch();
    codecButtons->addWidget(AboutB);
    codecButtons->addWidget(ConfigB);
    grid->addWidget(MakeLabel(settings, QStringLiteral("Video codecs :")), 0, 0);
    grid->addLayout(codecButtons, 0, 1, 1, 2);
    grid->addWidget(VideoCompressor, 1, 0, 1, 3);

    VideoQuality = MakeSlider(settings, "VideoQuality", 0, 10, 10);
    VideoQuality->setTickPosition(QSlider::TicksBelow);
    VideoQuality->setTickInterval(1);
    VideoQuality->setPageStep(1);
    LabelQuality = MakeLabel(settings, QString(), "LabelQuality");
    grid->addWidget(MakeLabel(settings, QStringLiteral("Video output quality :")), 2, 0);
    grid->addWidget(VideoQuality, 2, 1);
    grid->addWidget(LabelQuality, 2, 2);

    AudioRecord = new QCheckBox(QStringLiteral("Audio record"), settings);
    AudioRecord->setObjectName(QStringLiteral("AudioRecord"));
    grid->addWidget(AudioRecord, 3, 0, 1, 3);

    audioFormatLabel_ = MakeLabel(settings, QStringLiteral("Audio format :"));
    AudioFormat = MakeList(settings, "AudioFormat");
    grid->addWidget(audioFormatLabel_, 4, 0);
    grid->addWidget(AudioFormat, 4, 1, 1, 2);

    audioInputLabel_ = MakeLabel(settings, QStringLiteral("Audio input :"));
    AudioInput = MakeList(settings, "AudioInput");
    grid->addWidget(audioInputLabel_, 5, 0);
    grid->addWidget(AudioInput, 5, 1, 1, 2);

    audioVolumeLabel_ = MakeLabel(settings, QStringLiteral("Audio input volume :"));
    AudioVolume = MakeSlider(settings, "AudioVolume", 0, 100, 0);
    LabelVolume = MakeLabel(settings, QStringLiteral("0"), "LabelVolume");
    grid->addWidget(audioVolumeLabel_, 6, 0);
    grid->addWidget(AudioVolume, 6, 1);
    grid->addWidget(LabelVolume, 6, 2);

    ScreenSource = MakeList(settings, "ScreenSource");
    ScreenSource->addItems(
        {QStringLiteral("Automatic"), QStringLiteral("X11 server"), QStringLiteral("Wayland portal")});
    ScreenSource->setToolTip(QStringLiteral("Where the screen is read from; takes effect at the next start"));
    grid->addWidget(MakeLabel(settings, QStringLiteral("Screen source :")), 7, 0);
    grid->addWidget(ScreenSource, 7, 1);
    grid->addWidget(MakeLabel(settings, QStringLiteral("(next start)")), 7, 2);
    grid->setColumnStretch(1, 1);

    auto* frames = new QGroupBox(QStringLiteral("Video frame parameters :"), this);
    auto* timing = new QGridLayout(frames);
    timing->setVerticalSpacing(2);

    AutoMode = new QCheckBox(QStringLiteral("Full auto mode (Synchronize  RecordTime / PlayTime)"), frames);
    AutoMode->setObjectName(QStringLiteral("AutoMode"));
    AutoMode->setChecked(true);
    timing->addWidget(AutoMode, 0, 0, 1, 3);

    // Captions above the bars leave the bars the dialog's width.
    TrackBarRecord = MakeSlider(frames, "TrackBarRecord", 1, 1000, 2);
    labelmspFrecord = MakeLabel(frames, QString(), "labelmspFrecord");
    labelmspFrecord->setAlignment(Qt::AlignCenter);
    timing->addWidget(MakeLabel(frames, QStringLiteral("Delay every frames :")), 1, 0, 1, 3);
    timing->addWidget(MakeLabel(frames, QStringLiteral("1 Millisecond")), 2, 0);
    timing->addWidget(TrackBarRecord, 2, 1);
    timing->addWidget(MakeLabel(frames, QStringLiteral("1 Second")), 2, 2);
    timing->addWidget(labelmspFrecord, 3, 1);

    EditKeyFrames = new QLineEdit(frames);
    EditKeyFrames->setObjectName(QStringLiteral("EditKeyFrames"));
    EditKeyFrames->setValidator(new QIntValidator(0, INT_MAX, EditKeyFrames));
    EditKeyFrames->setFixedWidth(70);
    auto* keyFrames = new QHBoxLayout;
    keyFrames->addWidget(MakeLabel(frames, QStringLiteral("Set key frames every")));
    keyFrames->addSpacing(4);
    keyFrames->addWidget(EditKeyFrames);
    keyFrames->addWidget(MakeLabel(frames, QStringLiteral("frames")));
    keyFrames->addStretch();
    timing->addLayout(keyFrames, 4, 0, 1, 3);

    TrackBarPlayback = MakeSlider(frames, "TrackBarPlayback", 1, kManualMaxFps, kManualMaxFps);
    Label7 = MakeLabel(frames, QStringLiteral("1000 fps"), "Label7");
    labelFPSPlayback = MakeLabel(frames, QString(), "labelFPSPlayback");
    labelFPSPlayback->setAlignment(Qt::AlignCenter);
    timing->addWidget(MakeLabel(frames, QStringLiteral("Playback frame rate : (fps)")), 5, 0, 1, 3);
    timing->addWidget(MakeLabel(frames, QStringLiteral("1 fps")), 6, 0);
    timing->addWidget(TrackBarPlayback, 6, 1);
    timing->addWidget(Label7, 6, 2);
    timing->addWidget(labelFPSPlayback, 7, 1);
    timing->setColumnStretch(1, 1);

    Button2 = new QPushButton(QStringLiteral("OK"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setDefault(true);
    Button3 = new QPushButton(QStringLiteral("Cancel"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    RememberSettingsBox = new QCheckBox(QStringLiteral("Remember my settings"), this);
    RememberSettingsBox->setObjectName(QStringLiteral("RememberSettings"));
    RememberSettingsBox->setToolTip(QStringLiteral("Keep every choice of the window for the next start"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(RememberSettingsBox);
    buttons->addStretch();
    buttons->addWidget(Button2);
    buttons->addWidget(Button3);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(8, 6, 8, 8);
    page->setSpacing(4);
    page->addWidget(settings);
    page->addWidget(frames);
    page->addStretch();
    page->addLayout(buttons);

    connect(VideoCompressor, &QComboBox::activated, this, &TfrmOption::VideoCompressorClick);
    connect(AboutB, &QPushButton::clicked, this, &TfrmOption::AboutBClick);
    connect(ConfigB, &QPushButton::clicked, this, &TfrmOption::ConfigBClick);
    connect(VideoQuality, &QSlider::valueChanged, this, &TfrmOption::VideoQualityChange);
    connect(AudioRecord, &QCheckBox::toggled, this, &TfrmOption::AudioRecordClick);
    connect(AudioInput, &QComboBox::activated, this, &TfrmOption::AudioInputClick);
    connect(AudioVolume, &QSlider::valueChanged, this, &TfrmOption::AudioVolumeChange);
    connect(AutoMode, &QCheckBox::toggled, this, &TfrmOption::AutoModeClick);
    connect(TrackBarRecord, &QSlider::valueChanged, this, &TfrmOption::TrackBarRecordChange);
    connect(TrackBarPlayback, &QSlider::valueChanged, this, &TfrmOption::TrackBarPlaybackChange);
    connect(Button2, &QPushButton::clicked, this, &TfrmOption::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TfrmOption::Button3Click);
}

void TfrmOption::setVisible(bool visible) {
    if (visible && !isVisible()) {
        // Centred over the main window once; afterwards where the user left it.
        if (lastPosition_) {
            move(*lastPosition_);
        } else if (QWidget* owner = parentWidget()) {
            move(owner->window()->frameGeometry().center() - QPoint(width() / 2, height() / 2));
        }
    }
    QDialog::setVisible(visible);
}

bool TfrmOption::RememberSettings() const {
    return RememberSettingsBox->isChecked();
}

void TfrmOption::SetRememberSettings(bool on) {
    RememberSettingsBox->setChecked(on);
}

bool TfrmOption::AutoTiming() const {
    return AutoMode->isChecked();
}

void TfrmOption::SetAutoTiming(bool on) {
    AutoMode->setChecked(on);  // runs AutoModeClick
}

void TfrmOption::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TfrmOption::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) lastPosition_ = pos();
    QDialog::hideEvent(event);
}

template <typename Fn>
void TfrmOption::Guarded(Fn&& fn) {
    try {
        std::forward<Fn>(fn)();
    } catch (const std::exception& e) {
        ShowError(QString::fromStdString(e.what()));
    }
}

void TfrmOption::ShowError(const QString& text) {
    QMessageBox::critical(this, QString::fromLatin1(kApplicationTitle), text);
}

void TfrmOption::FormShow() {
    Guarded([this] {
        Fill(VideoCompressor, camera_.GetVideoCodecList());
        FitFixedSize(*this);
        Fill(AudioFormat, camera_.GetAudioFormatList());
        Fill(AudioInput, camera_.GetAudioInputList());
        Select(VideoCompressor, camera_.SelectedCompressor());
        Select(AudioFormat, camera_.AudioFormatIndex());
        Select(AudioInput, camera_.AudioInputIndex());
        // The main window's audio toggle writes the same setting; a stale box here would undo it on OK.
        {
            const QSignalBlocker block(AudioRecord);
            AudioRecord->setChecked(camera_.UseAudioRecord());
        }
        AudioRecordClick();
        AutoModeClick();
        TrackBarRecord->setValue(camera_.Record_MSPF());
        TrackBarPlayback->setValue(camera_.PlayBack_FPS());  // the slider clamps to its range
        EditKeyFrames->setText(QString::number(camera_.KeyFramesEvery()));
        VideoQuality->setValue(camera_.CompressionQuality() / 1000);
        shownBackend_ = LoadScreenBackendChoice();
        ScreenSource->setCurrentIndex(static_cast<int>(shownBackend_));
        UpdateLabels();
        UpdateCompressorButtons();
    });
}

void TfrmOption::UpdateLabels() {
    const int playback = std::max(1, TrackBarPlayback->value());
    if (AutoMode->isChecked()) {
        FPlaybackFPS = playback;
        FRecordMSPF = 1000 / playback;
        const QSignalBlocker block(TrackBarRecord);
        TrackBarRecord->setValue(FRecordMSPF);
    } else {
        FRecordMSPF = TrackBarRecord->value();
        FPlaybackFPS = playback;
    }
    labelmspFrecord->setText(QStringLiteral("%1 Millisecond").arg(FRecordMSPF));
    labelFPSPlayback->setText(QStringLiteral("%1 fps").arg(FPlaybackFPS));
    LabelQuality->setText(QString::number(VideoQuality->value()));
    LabelVolume->setText(QString::number(AudioVolume->value()));
}

void TfrmOption::UpdateCompressorButtons() {
    const TScreenCamera::CompressorFeatures features = camera_.GetCompressorFeatures(VideoCompressor->currentIndex());
    AboutB->setEnabled(features.hasAbout);
    ConfigB->setEnabled(features.hasConfigure);
}

std::optional<AudioInfo> TfrmOption::SelectedLine() const {
    if (AudioInput->currentIndex() < 0) return std::nullopt;
    // By name: the engine's table may have been rebuilt since the list items were filled.
    const std::string name = AudioInput->currentText().toStdString();
    for (const AudioInfo& line : camera_.AudioInputLines())
        if (line.LineName == name) return line;
    return std::nullopt;
}

void TfrmOption::ShowLineVolume(bool enable) {
    const std::optional<AudioInfo> line = SelectedLine();
    if (line && line->HasVolume && line->Volume >= 0)
        SetVolumeBar(line->Volume, enable);
    else
        SetVolumeBar(0, false);
}

void TfrmOption::SetVolumeBar(int position, bool enabled) {
    // Showing a volume is no request to change it.
    const QSignalBlocker block(AudioVolume);
    AudioVolume->setValue(position);
    AudioVolume->setEnabled(enabled);
    LabelVolume->setEnabled(enabled);
    LabelVolume->setText(QString::number(AudioVolume->value()));
}

void TfrmOption::VideoCompressorClick() {
    Guarded([this] { UpdateCompressorButtons(); });
}

void TfrmOption::AboutBClick() {
    Guarded([this] { camera_.CompressorAbout(VideoCompressor->currentIndex()); });
}

void TfrmOption::ConfigBClick() {
    Guarded([this] { camera_.CompressorConfigure(VideoCompressor->currentIndex()); });
}

void TfrmOption::VideoQualityChange() {
    UpdateLabels();
}

void TfrmOption::AudioRecordClick() {
    Guarded([this] {
        const bool on = AudioRecord->isChecked();
        for (QWidget* w : {static_cast<QWidget*>(audioFormatLabel_), static_cast<QWidget*>(AudioFormat),
                           static_cast<QWidget*>(audioInputLabel_), static_cast<QWidget*>(AudioInput),
                           static_cast<QWidget*>(audioVolumeLabel_)})
            w->setEnabled(on);
        ShowLineVolume(on);
    });
}

void TfrmOption::AudioInputClick(int index) {
    Guarded([this, index] {
        const std::string chosen = AudioInput->itemText(index).toStdString();
        camera_.GetAudioInputList();
        camera_.SelectAudioInput(chosen);
        // The destination line cannot be a source and the engine keeps the one it has: show what records.
        const TGetAudioInfo lines = camera_.AudioInputLines();
        const int selected = camera_.AudioInputIndex();
        int shown = -1;
        if (selected >= 0 && selected < static_cast<int>(lines.size()))
            shown = AudioInput->findText(QString::fromStdString(lines[static_cast<std::size_t>(selected)].LineName));
        Select(AudioInput, shown);
        ShowLineVolume(true);
    });
}

void TfrmOption::AudioVolumeChange() {
    Guarded([this] {
        UpdateLabels();
        // Only the bar's own moves reach the mixer; the other bars leave a volume changed elsewhere alone.
        const std::optional<AudioInfo> line = SelectedLine();
        if (line && line->HasVolume) camera_.SetAudioInputVolume(line->LineName, AudioVolume->value());
    });
}

void TfrmOption::AutoModeClick() {
    const bool autoMode = AutoMode->isChecked();
    TrackBarRecord->setEnabled(!autoMode);
    const int maximum = autoMode ? kAutoModeMaxFps : kManualMaxFps;
    TrackBarPlayback->setMaximum(maximum);  // clamps the position, which updates the labels
    Label7->setText(QStringLiteral("%1 fps").arg(maximum));
    // Also without a clamp: switching on must tie the record bar to the playback rate at once.
    UpdateLabels();
}

void TfrmOption::TrackBarRecordChange() {
    UpdateLabels();
}

void TfrmOption::TrackBarPlaybackChange() {
    UpdateLabels();
}

void TfrmOption::Button2Click() {
    Guarded([this] {
        // Nothing is written unless everything can be: a bad key-frame count keeps the dialog open.
        const QString keyFramesText = EditKeyFrames->text().trimmed();
        bool isNumber = false;
        const int keyFrames = keyFramesText.toInt(&isNumber);
        if (!isNumber || keyFrames < 0) {
            ShowError(QStringLiteral("'%1' is not a valid integer value").arg(EditKeyFrames->text()));
            EditKeyFrames->setFocus();
            return;
        }
        UpdateLabels();
        camera_.SetSelectedCompressor(VideoCompressor->currentIndex());
        // The engine refuses 0; its lowest quality reads back as position 0, so the choice survives.
        camera_.SetCompressionQuality(std::max(1, VideoQuality->value() * 1000));
        camera_.SetKeyFramesEvery(keyFrames);
        camera_.SetRecord_MSPF(FRecordMSPF);
        camera_.SetPlayBack_FPS(FPlaybackFPS);
        camera_.SetUseAudioRecord(AudioRecord->isChecked());
        camera_.SetAudioFormatIndex(AudioFormat->currentIndex());
        const auto backend = static_cast<ScreenBackend>(ScreenSource->currentIndex());
        if (std::string error; backend != shownBackend_ && !SaveScreenBackendChoice(backend, error))
            ShowError(QStringLiteral("The screen source is kept as it was. %1").arg(QString::fromStdString(error)));
        accept();
    });
}

void TfrmOption::Button3Click() {
    reject();
}

}  // namespace tolm
