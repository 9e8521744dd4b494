#pragma once

#include "app/WindowChoices.h"

namespace tolm {

class TScreenCamera;

// The choices the engine alone holds, written into it by the options and effects dialogs: compressor, quality,
// key frames, frame timing, sound format and input, effects. The window's own controls hold the rest.
void ReadEngineChoices(const TScreenCamera& camera, WindowChoices& choices);

// Writes them back. A compressor this machine does not offer for the current area, or a sound input it no longer
// has, leaves the engine's own default in place.
void WriteEngineChoices(TScreenCamera& camera, const WindowChoices& choices);

}  // namespace tolm
