// The overlay picture loader on arbitrary bytes: the picture file the user names, loaded from disk and drawn
// into recorded frames of the colour depths a recording can have.

#include <QString>

#include <cstddef>
#include <cstdint>

#include "app/OverlayPicture.h"
#include "fuzz/FuzzTempFile.h"
#include "imaging/Bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tolm::fuzz::FuzzTempFile file("overlay.bmp");
    file.Write(data, size);
    {
        // A new loader each time: one that saw the previous input could take the file as unchanged.
        tolm::TOverlayPicture overlay;
        overlay.SetFileName(QString::fromStdString(file.Path()));
        for (const tolm::TPixelFormat format : {tolm::TPixelFormat::pf32bit, tolm::TPixelFormat::pf8bit}) {
            tolm::Bitmap frame(37, 21, format);
            (void)overlay.Draw(frame);
        }
    }
    file.Remove();
    return 0;
}
