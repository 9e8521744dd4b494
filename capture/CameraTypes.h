#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/Color.h"
#include "platform/ThreadPriority.h"

namespace tolm {

class TScreenCamera;

// Which part of the screen a recording follows.
enum class TScreenRegion : std::uint8_t {
    SelObject = 0,    // a window or control picked with the mouse
    FreeHand = 1,     // a rectangle dragged out on a still picture of the screen
    FixedMoving = 2,  // fixed size, centred on the mouse
    FixedStable = 3,  // a fixed rectangle
    FullScreen = 4,   // the current monitor or the whole desktop
};

enum class TTypeRecord : std::uint8_t { NoCompress = 0, CompressOnFly = 1, CompressAfterRecord = 2 };

struct TRecordingDuration {
    bool Enabled = false;
    std::uint8_t Hours = 0;
    std::uint8_t Minutes = 0;
    std::uint8_t Seconds = 0;
};

// One line of the recording mixer: Volume is 0..100, or -1 when the line has none or it cannot be read.
struct AudioInfo {
    std::string LineName;
    int Volume = -1;
    bool HasVolume = false;
};
using TGetAudioInfo = std::vector<AudioInfo>;

// What CaptureFrame delivers: the frame in a bitmap, as a packed DIB, or both.
enum class TCaptureMode : std::uint8_t { cmBitmap = 0, cmDib = 1, cmBitmapAndDib = 2 };

// Engine events. Sender is always the engine; every handler is optional.
using TSCEvent = std::function<void(TScreenCamera& sender)>;
using TSCErrorEvent = std::function<void(TScreenCamera& sender, const std::string& errorMessage)>;
using TPreviewEvent =
    std::function<void(TScreenCamera& sender, const Bitmap* previewBitmap, bool preview, bool recording)>;
using TSaveEvent =
    std::function<void(TScreenCamera& sender, int percent, const std::string& statusCaption, bool& continueSaving)>;
// The overlay handler draws into the 32-bit working image of the frame being built.
using TOverlayEvent = std::function<void(TScreenCamera& sender, Bitmap& frame, int bmpWidth, int bmpHeight)>;

}  // namespace tolm
