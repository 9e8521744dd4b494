#pragma once

#include <QDialog>
#include <QPoint>
#include <QRect>

#include <cstdint>

#include "effects/FilterValues.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QShowEvent;
class QSlider;

namespace tolm {

class TScreenCamera;

// The effects dialog: every click and slider move goes straight into the engine's effect set and values, so
// a running preview or recording changes at once; there is nothing to cancel. Created once, shown modally.
class TfrmFilterEffects final : public QDialog {
    Q_OBJECT

  public:
    explicit TfrmFilterEffects(TScreenCamera& camera, QWidget* parent = nullptr);
    ~TfrmFilterEffects() override;

  protected:
    // Loads the controls from the engine every time the dialog opens.
    void showEvent(QShowEvent* event) override;

  private:
    // One slider with the value label at its right.
    struct SliderRow {
        QSlider* slider = nullptr;
        QLabel* label = nullptr;
    };

    void BuildLeftColumn();
    void BuildRightColumn();
    QGroupBox* TitledGroup(QCheckBox* title, const QRect& frame);
    QCheckBox* EffectCheck(const char* name, const char* caption, TUseFilter filter);
    SliderRow Slider(QWidget* parent, const char* name, const char* labelName, int min, int max, int start, int width,
                     const QPoint& at, std::uint32_t index);

    void FormShow();
    void DefaultValueBtnClick();
    void NoiseTrackBarChange(int position);
    void ScreenRotationClick(int item);
    // Checking `checked` first unchecks `other` (whose handler then removes its element).
    void ExclusiveCheckClick(QCheckBox* checked, QCheckBox* other, TUseFilter filter);
    void SetFilter(TUseFilter filter, bool on);
    // Moves a control without running its handler: the engine already holds what is loaded or reset.
    void LoadSlider(const SliderRow& row, std::int32_t value);
    void LoadCheck(QCheckBox* box, TUseFilter filter);

    TScreenCamera& camera_;
    bool loading_ = false;  // while set, control changes are not written to the engine

    QCheckBox* useBrightness_ = nullptr;
    QCheckBox* useContrast_ = nullptr;
    QCheckBox* useDarkness_ = nullptr;
    QCheckBox* useSaturation_ = nullptr;
    QCheckBox* useColorNoise_ = nullptr;
    QCheckBox* useMonoNoise_ = nullptr;
    QCheckBox* usePosterize_ = nullptr;
    QCheckBox* useColorAdjust_ = nullptr;
    QCheckBox* useRotation_ = nullptr;
    QCheckBox* grayScale_ = nullptr;
    QCheckBox* sepia_ = nullptr;
    QCheckBox* reverseColor_ = nullptr;
    SliderRow brightness_;
    SliderRow contrast_;
    SliderRow darkness_;
    SliderRow saturation_;
    SliderRow noise_;
    SliderRow posterize_;
    SliderRow red_;
    SliderRow green_;
    SliderRow blue_;
    QGroupBox* rotationGroup_ = nullptr;
    QButtonGroup* rotationItems_ = nullptr;
    QPushButton* defaultBtn_ = nullptr;
    QPushButton* okBtn_ = nullptr;
};

}  // namespace tolm
