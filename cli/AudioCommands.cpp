#include "cli/AudioCommands.h"

#include <cstdio>

#include "cli/Backends.h"

namespace tolm::cli {

int ListAudioFormatsCommand(const Options& options) {
    std::unique_ptr<Session> session = Session::OpenOrReport(options);
    if (!session) return 1;
    const std::vector<std::string> formats = session->Camera().GetAudioFormatList();
    std::printf("Sound formats (--audio-format N):\n");
    for (std::size_t i = 0; i < formats.size(); ++i)
        std::printf("  %2zu  %s%s\n", i + 1, formats[i].c_str(),
                    static_cast<int>(i) + 1 == kDefaultAudioFormat ? "  (default)" : "");
    return 0;
}

int ListAudioInputsCommand(const Options& options) {
    std::unique_ptr<Session> session = Session::OpenOrReport(options);
    if (!session) return 1;
    TScreenCamera& camera = session->Camera();
    camera.GetAudioInputList();
    const TGetAudioInfo lines = camera.AudioInputLines();
    if (lines.empty()) {
        std::printf("No sound inputs: no sound server could be reached.\n");
        return 1;
    }
    const int selected = camera.AudioInputIndex();
    std::printf("Sound inputs (--audio-input NAME; * records now):\n");
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        const AudioInfo& line = lines[i];
        const std::string volume = !line.HasVolume   ? "no volume"
                                   : line.Volume < 0 ? "volume ?"
                                                     : "volume " + std::to_string(line.Volume) + "%";
        std::printf("  %c %-48s %s\n", static_cast<int>(i) == selected ? '*' : ' ', line.LineName.c_str(),
                    volume.c_str());
    }
    if (lines.size() == 1) std::printf("  (the sound server has no inputs)\n");
    return 0;
}

bool SelectAudioInput(const Options& options, TScreenCamera& camera, std::string& error) {
    if (options.audioInput.empty()) return true;
    camera.GetAudioInputList();
    const TGetAudioInfo lines = camera.AudioInputLines();
    // The last line is the mixer's destination, not an input of its own.
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i].LineName != options.audioInput) continue;
        camera.SelectAudioInput(options.audioInput);
        if (camera.AudioInputIndex() == static_cast<int>(i)) return true;
        error = "The sound server did not take '" + options.audioInput + "' as the recording input.";
        return false;
    }
    error = "No sound input is named '" + options.audioInput + "'; see --list-audio-inputs.";
    return false;
}

}  // namespace tolm::cli
