#include "app/EngineChoices.h"

#include <algorithm>

#include "capture/ScreenCamera.h"

namespace tolm {

void ReadEngineChoices(const TScreenCamera& camera, WindowChoices& choices) {
    choices.compressor = camera.CompressorInfos(camera.SelectedCompressor()).fccHandler;
    choices.quality = camera.CompressionQuality();
    choices.keyFrames = camera.KeyFramesEvery();
    choices.frameMs = camera.Record_MSPF();
    choices.playbackFps = camera.PlayBack_FPS();
    choices.sound = camera.UseAudioRecord();
    choices.cursor = camera.RecordCursor();
    choices.soundFormat = camera.AudioFormatIndex();
    const std::vector<std::string> inputs = camera.AudioInputList();
    const int input = camera.AudioInputIndex();
    choices.soundInput =
        input >= 0 && input < static_cast<int>(inputs.size()) ? inputs[static_cast<std::size_t>(input)] : std::string();
    const TFilterValues& f = camera.FilterValues();
    choices.effects = camera.UseFilters().Bits();
    choices.effectValues = {f.ValueColorNoise(), f.ValueMonoNoise(), f.ValuePosterize(),  f.ValueRedColor(),
                            f.ValueGreenColor(), f.ValueBlueColor(), f.ValueSaturation(), f.ValueDarkness(),
                            f.ValueBrightness(), f.ValueContrast()};
    choices.rotation = static_cast<int>(f.TypeScreenRotate());
}

void WriteEngineChoices(TScreenCamera& camera, const WindowChoices& choices) {
    camera.SetCompressionQuality(choices.quality);
    camera.SetKeyFramesEvery(choices.keyFrames);
    camera.SetRecord_MSPF(choices.frameMs);
    camera.SetPlayBack_FPS(choices.playbackFps);
    camera.SetAudioFormatIndex(choices.soundFormat);
    TFilterValues& f = camera.FilterValues();
    for (std::size_t i = 0; i < choices.effectValues.size(); ++i)
        f.SetIndexedValue(static_cast<std::uint32_t>(i), choices.effectValues[i]);
    f.SetTypeScreenRotate(static_cast<TScreenRotate>(choices.rotation));
    camera.SetUseFilters(TUseFilters::FromBits(choices.effects));
    if (choices.compressor != 0) {
        // The list is the one for the area and colours already restored.
        camera.GetVideoCodecList();
        for (int i = 0; i < camera.CompressorCount(); ++i) {
            if (camera.CompressorInfos(i).fccHandler != choices.compressor) continue;
            camera.SetSelectedCompressor(i);
            break;
        }
    }
    if (!choices.soundInput.empty()) {
        const std::vector<std::string> inputs = camera.GetAudioInputList();
        if (std::find(inputs.begin(), inputs.end(), choices.soundInput) != inputs.end())
            camera.SelectAudioInput(choices.soundInput);
    }
}

}  // namespace tolm
