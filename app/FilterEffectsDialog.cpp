#include "app/FilterEffectsDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSlider>

#include <array>

#include "capture/ScreenCamera.h"

namespace tolm {
namespace {

constexpr int kClientWidth = 647;
constexpr int kClientHeight = 439;
constexpr int kColumnWidth = 313;
constexpr int kLeftColumn = 8;
constexpr int kRightColumn = 327;
constexpr int kEffectGroupHeight = 65;
constexpr int kTitleHeight = 16;
constexpr std::uint32_t kNoiseIndex = 0xFFFFFFFFu;  // the noise slider writes both noise values

// Indexes of TFilterValues::SetIndexedValue.
constexpr std::uint32_t kPosterizeIndex = 2;
constexpr std::uint32_t kRedIndex = 3;
constexpr std::uint32_t kGreenIndex = 4;
constexpr std::uint32_t kBlueIndex = 5;
constexpr std::uint32_t kSaturationIndex = 6;
constexpr std::uint32_t kDarknessIndex = 7;
constexpr std::uint32_t kBrightnessIndex = 8;
constexpr std::uint32_t kContrastIndex = 9;

constexpr std::array<const char*, 5> kRotationItems = {"Rotate to left", "Rotate to right", "Reverse",
                                                       "Flip Horizontal", "Flip Vertical"};

}  // namespace

TfrmFilterEffects::TfrmFilterEffects(TScreenCamera& camera, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), camera_(camera) {
    setObjectName(QStringLiteral("TfrmFilterEffects"));
    setWindowTitle(QStringLiteral("Effects"));
    setFixedSize(kClientWidth, kClientHeight);
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    BuildLeftColumn();
    BuildRightColumn();

    defaultBtn_ = new QPushButton(QStringLiteral("Default Values"), this);
    defaultBtn_->setObjectName(QStringLiteral("DefaultValueBtn"));
    defaultBtn_->setGeometry(529, 350, 89, 25);
    defaultBtn_->setAutoDefault(false);
    connect(defaultBtn_, &QPushButton::clicked, this, [this] { DefaultValueBtnClick(); });

    okBtn_ = new QPushButton(QStringLiteral("OK"), this);
    okBtn_->setObjectName(QStringLiteral("OkBtn"));
    okBtn_->setGeometry(529, 389, 89, 25);
    okBtn_->setDefault(true);
    // Everything is in the engine already: closing only hides the dialog.
    connect(okBtn_, &QPushButton::clicked, this, &QDialog::accept);
}

TfrmFilterEffects::~TfrmFilterEffects() = default;

void TfrmFilterEffects::BuildLeftColumn() {
    struct Row {
        const char* check;
        const char* caption;
        TUseFilter filter;
        const char* slider;
        const char* label;
        int min;
        int max;
        int start;
        std::uint32_t index;
        SliderRow* row;
        QCheckBox** box;
    };
    const std::array<Row, 5> rows = {{
        {"UseBrightnessEffect", "Use brightness effect", TUseFilter::UseBrightness, "BrightnessTrackBar",
         "BrightnessLabel", -2550, 255, 0, kBrightnessIndex, &brightness_, &useBrightness_},
        {"UseContrastEffect", "Use contrast effect", TUseFilter::UseContrast, "ContrastTrackBar", "ContrastLabel", -255,
         2550, 0, kContrastIndex, &contrast_, &useContrast_},
        {"UseDarknessEffect", "Use darkness effect", TUseFilter::UseDarkness, "DarknessTrackBar", "DarknessLabel", 0,
         255, 0, kDarknessIndex, &darkness_, &useDarkness_},
        {"UseSaturationEffect", "Use saturation effect", TUseFilter::UseSaturation, "SaturationTrackBar",
         "SaturationLabel", 0, 2550, 255, kSaturationIndex, &saturation_, &useSaturation_},
        {"UsePosterizeEffect", "Use posterize effect", TUseFilter::UsePosterize, "PosterizeTrackBar", "PosterizeLabel",
         1, 500, 1, kPosterizeIndex, &posterize_, &usePosterize_},
    }};
    const std::array<int, 5> tops = {8, 80, 152, 223, 365};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        *r.box = EffectCheck(r.check, r.caption, r.filter);
        QGroupBox* group = TitledGroup(*r.box, QRect(kLeftColumn, tops[i], kColumnWidth, kEffectGroupHeight));
        *r.row = Slider(group, r.slider, r.label, r.min, r.max, r.start, 273, QPoint(6, 20), r.index);
    }

    // The noise group carries both noise kinds on its top edge; they exclude each other.
    useColorNoise_ = new QCheckBox(QStringLiteral("Use color noise effect"), this);
    useColorNoise_->setObjectName(QStringLiteral("UseColorNoiseEffect"));
    useMonoNoise_ = new QCheckBox(QStringLiteral("Use mono noise effect"), this);
    useMonoNoise_->setObjectName(QStringLiteral("UseMonoNoiseEffect"));
    QGroupBox* noise = TitledGroup(useColorNoise_, QRect(kLeftColumn, 294, kColumnWidth, kEffectGroupHeight));
    useMonoNoise_->setAutoFillBackground(true);
    useMonoNoise_->setGeometry(kLeftColumn + 160, 294, 145, kTitleHeight);
    useMonoNoise_->raise();
    noise_ = Slider(noise, "NoiseTrackBar", "NoiseLabel", 0, 255, 0, 273, QPoint(6, 20), kNoiseIndex);
    connect(useColorNoise_, &QCheckBox::toggled, this, [this](bool on) {
        on ? ExclusiveCheckClick(useColorNoise_, useMonoNoise_, TUseFilter::UseColorNoise)
           : SetFilter(TUseFilter::UseColorNoise, false);
    });
    connect(useMonoNoise_, &QCheckBox::toggled, this, [this](bool on) {
        on ? ExclusiveCheckClick(useMonoNoise_, useColorNoise_, TUseFilter::UseMonoNoise)
           : SetFilter(TUseFilter::UseMonoNoise, false);
    });
}

void TfrmFilterEffects::BuildRightColumn() {
    useColorAdjust_ = EffectCheck("UseColorAdjustEffect", "Use color adjust effect", TUseFilter::UseColorAdjust);
    QGroupBox* adjust = TitledGroup(useColorAdjust_, QRect(kRightColumn, 8, kColumnWidth, 138));
    struct Channel {
        const char* caption;
        const char* slider;
        const char* label;
        std::uint32_t index;
        SliderRow* row;
    };
    const std::array<Channel, 3> channels = {{
        {"Red :", "RedValueTrackBar", "RedLabel", kRedIndex, &red_},
        {"Green :", "GreenValueTrackBar", "GreenLabel", kGreenIndex, &green_},
        {"Blue :", "BlueValueTrackBar", "BlueLabel", kBlueIndex, &blue_},
    }};
    for (std::size_t i = 0; i < channels.size(); ++i) {
        const int y = 20 + static_cast<int>(i) * 36;
        auto* caption = new QLabel(QString::fromLatin1(channels[i].caption), adjust);
        caption->setGeometry(8, y + 3, 46, 18);
        *channels[i].row =
            Slider(adjust, channels[i].slider, channels[i].label, -255, 255, 0, 233, QPoint(52, y), channels[i].index);
    }

    useRotation_ = EffectCheck("UseScreenRotation", "Use screen rotation", TUseFilter::UseRotateImage);
    rotationGroup_ = TitledGroup(useRotation_, QRect(kRightColumn, 152, kColumnWidth, 113));
    rotationGroup_->setObjectName(QStringLiteral("ScreenRotation"));
    rotationItems_ = new QButtonGroup(this);
    for (std::size_t i = 0; i < kRotationItems.size(); ++i) {
        auto* item = new QRadioButton(QString::fromLatin1(kRotationItems[i]), rotationGroup_);
        item->setObjectName(QStringLiteral("ScreenRotationItem%1").arg(i));
        // Two columns filled top to bottom: three items, then two.
        const int column = static_cast<int>(i) / 3;
        const int row = static_cast<int>(i) % 3;
        item->setGeometry(12 + column * 150, 18 + row * 26, 140, 20);
        rotationItems_->addButton(item, static_cast<int>(i));
    }
    rotationItems_->button(0)->setChecked(true);
    connect(rotationItems_, &QButtonGroup::idClicked, this, [this](int item) { ScreenRotationClick(item); });

    grayScale_ = new QCheckBox(QStringLiteral("Grayscale drawing"), this);
    grayScale_->setObjectName(QStringLiteral("CheckGrayScale"));
    grayScale_->setGeometry(335, 295, 180, 17);
    sepia_ = new QCheckBox(QStringLiteral("Sepia drawing"), this);
    sepia_->setObjectName(QStringLiteral("CheckSepia"));
    sepia_->setGeometry(335, 318, 180, 17);
    connect(grayScale_, &QCheckBox::toggled, this, [this](bool on) {
        on ? ExclusiveCheckClick(grayScale_, sepia_, TUseFilter::UseGrayScale)
           : SetFilter(TUseFilter::UseGrayScale, false);
    });
    connect(sepia_, &QCheckBox::toggled, this, [this](bool on) {
        on ? ExclusiveCheckClick(sepia_, grayScale_, TUseFilter::UseSepia) : SetFilter(TUseFilter::UseSepia, false);
    });
    reverseColor_ = EffectCheck("CheckReverseColor", "Reverse colors", TUseFilter::UseReverseColor);
    reverseColor_->setGeometry(335, 341, 180, 17);
}

QGroupBox* TfrmFilterEffects::TitledGroup(QCheckBox* title, const QRect& frame) {
    // The check box sits on the frame's top edge like a title, yet stays a sibling so that unchecking it
    // leaves the slider usable.
    auto* group = new QGroupBox(this);
    group->setGeometry(frame.adjusted(0, kTitleHeight / 2, 0, 0));
    title->setAutoFillBackground(true);
    title->adjustSize();
    title->setGeometry(frame.left() + 8, frame.top(), title->sizeHint().width() + 4, kTitleHeight);
    title->raise();
    return group;
}

QCheckBox* TfrmFilterEffects::EffectCheck(const char* name, const char* caption, TUseFilter filter) {
    auto* box = new QCheckBox(QString::fromLatin1(caption), this);
    box->setObjectName(QString::fromLatin1(name));
    connect(box, &QCheckBox::toggled, this, [this, filter](bool on) { SetFilter(filter, on); });
    return box;
}

TfrmFilterEffects::SliderRow TfrmFilterEffects::Slider(QWidget* parent, const char* name, const char* labelName,
                                                       int min, int max, int start, int width, const QPoint& at,
                                                       std::uint32_t index) {
    SliderRow row;
    row.slider = new QSlider(Qt::Horizontal, parent);
    row.slider->setObjectName(QString::fromLatin1(name));
    // The start position is set before the handler is connected: creating the dialog writes nothing.
    row.slider->setRange(min, max);
    row.slider->setValue(start);
    row.slider->setTickPosition(QSlider::NoTicks);
    row.slider->setGeometry(at.x(), at.y(), width, 24);
    row.label = new QLabel(QString::number(start), parent);
    row.label->setObjectName(QString::fromLatin1(labelName));
    const int labelLeft = at.x() + width + 2;
    row.label->setGeometry(labelLeft, at.y() + 3, parent->width() - labelLeft - 2, 18);
    QLabel* label = row.label;
    connect(row.slider, &QSlider::valueChanged, this, [this, label, index](int position) {
        label->setNum(position);
        if (loading_) return;
        if (index == kNoiseIndex) {
            NoiseTrackBarChange(position);
        } else {
            camera_.FilterValues().SetIndexedValue(index, position);
        }
    });
    return row;
}

void TfrmFilterEffects::showEvent(QShowEvent* event) {
    // Spontaneous shows (the window manager restoring the window) must not reload over the user's edits.
    if (!event->spontaneous()) FormShow();
    QDialog::showEvent(event);
}

void TfrmFilterEffects::FormShow() {
    const TFilterValues& values = camera_.FilterValues();
    loading_ = true;
    LoadCheck(useBrightness_, TUseFilter::UseBrightness);
    LoadCheck(useContrast_, TUseFilter::UseContrast);
    LoadCheck(useDarkness_, TUseFilter::UseDarkness);
    LoadCheck(useSaturation_, TUseFilter::UseSaturation);
    LoadCheck(useColorNoise_, TUseFilter::UseColorNoise);
    LoadCheck(useMonoNoise_, TUseFilter::UseMonoNoise);
    LoadCheck(usePosterize_, TUseFilter::UsePosterize);
    LoadCheck(useColorAdjust_, TUseFilter::UseColorAdjust);
    LoadCheck(useRotation_, TUseFilter::UseRotateImage);
    LoadCheck(grayScale_, TUseFilter::UseGrayScale);
    LoadCheck(sepia_, TUseFilter::UseSepia);
    LoadCheck(reverseColor_, TUseFilter::UseReverseColor);
    LoadSlider(brightness_, values.ValueBrightness());
    LoadSlider(contrast_, values.ValueContrast());
    LoadSlider(darkness_, values.ValueDarkness());
    LoadSlider(saturation_, values.ValueSaturation());
    LoadSlider(noise_, useColorNoise_->isChecked() ? values.ValueColorNoise() : values.ValueMonoNoise());
    LoadSlider(posterize_, values.ValuePosterize());
    // The colour adjust controls are loaded too, so the dialog never shows values the frames do not get.
    LoadSlider(red_, values.ValueRedColor());
    LoadSlider(green_, values.ValueGreenColor());
    LoadSlider(blue_, values.ValueBlueColor());
    const int rotation = static_cast<int>(values.TypeScreenRotate());
    if (QAbstractButton* item = rotationItems_->button(rotation)) item->setChecked(true);
    loading_ = false;
}

void TfrmFilterEffects::DefaultValueBtnClick() {
    // All effects go off in one write before the values move, so no frame of a running recording sees a
    // half-reset mixture.
    camera_.SetUseFilters(TUseFilters{});
    TFilterValues& values = camera_.FilterValues();
    values.SetIndexedValue(0, 0);
    values.SetIndexedValue(1, 0);
    values.SetIndexedValue(kPosterizeIndex, 1);
    values.SetIndexedValue(kRedIndex, 0);
    values.SetIndexedValue(kGreenIndex, 0);
    values.SetIndexedValue(kBlueIndex, 0);
    values.SetIndexedValue(kSaturationIndex, 255);
    values.SetIndexedValue(kDarknessIndex, 0);
    values.SetIndexedValue(kBrightnessIndex, 0);
    values.SetIndexedValue(kContrastIndex, 0);
    values.SetTypeScreenRotate(TScreenRotate::RLeft);
    FormShow();
}

void TfrmFilterEffects::NoiseTrackBarChange(int position) {
    // Both noise kinds share the slider, so switching kinds keeps the strength.
    camera_.FilterValues().SetIndexedValue(0, position);
    camera_.FilterValues().SetIndexedValue(1, position);
}

void TfrmFilterEffects::ScreenRotationClick(int item) {
    if (loading_) return;
    camera_.FilterValues().SetTypeScreenRotate(static_cast<TScreenRotate>(item));
}

void TfrmFilterEffects::ExclusiveCheckClick(QCheckBox* checked, QCheckBox* other, TUseFilter filter) {
    if (loading_) return;
    other->setChecked(false);
    if (checked->isChecked()) SetFilter(filter, true);
}

void TfrmFilterEffects::SetFilter(TUseFilter filter, bool on) {
    if (loading_) return;
    const TUseFilters current = camera_.UseFilters();
    camera_.SetUseFilters(on ? current.With(filter) : current.Without(filter));
}

void TfrmFilterEffects::LoadSlider(const SliderRow& row, std::int32_t value) {
    row.slider->setValue(value);  // clamps to the slider's range
    // The label tells what the frames get, even when the slider cannot reach it.
    row.label->setNum(value);
}

void TfrmFilterEffects::LoadCheck(QCheckBox* box, TUseFilter filter) {
    box->setChecked(camera_.UseFilters().Contains(filter));
}

}  // namespace tolm
