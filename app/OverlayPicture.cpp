#include "app/OverlayPicture.h"

#include <QFileInfo>

#include <cstdint>

#include "imaging/Bitmap.h"

namespace tolm {

void TOverlayPicture::SetFileName(const QString& fileName) {
    std::lock_guard lock(mutex_);
    if (fileName == fileName_) return;
    fileName_ = fileName;
    picture_ = QImage();
    loadedSize_ = -1;
    reported_ = false;
}

QString TOverlayPicture::FileName() const {
    std::lock_guard lock(mutex_);
    return fileName_;
}

void TOverlayPicture::RearmReport() {
    std::lock_guard lock(mutex_);
    reported_ = false;
}

bool TOverlayPicture::LoadLocked() {
    const QFileInfo info(fileName_);
    if (fileName_.isEmpty() || !info.isFile()) {
        picture_ = QImage();
        return false;
    }
    const QDateTime stamp = info.lastModified();
    if (!picture_.isNull() && stamp == loadedStamp_ && info.size() == loadedSize_) return true;
    QImage loaded(fileName_, "BMP");
    if (loaded.isNull()) {
        picture_ = QImage();
        return false;
    }
    picture_ = loaded.convertToFormat(QImage::Format_RGB32);
    loadedStamp_ = stamp;
    loadedSize_ = info.size();
    return true;
}

TOverlayPicture::DrawResult TOverlayPicture::Draw(Bitmap& frame) {
    std::lock_guard lock(mutex_);
    if (!LoadLocked()) {
        if (reported_) return DrawResult::unreadableReported;
        reported_ = true;
        return DrawResult::unreadable;
    }
    reported_ = false;
    DrawTransparentCentred(frame, picture_);
    return DrawResult::drawn;
}

void DrawTransparentCentred(Bitmap& frame, const QImage& source) {
    if (source.isNull() || frame.Empty()) return;
    const QImage picture = source.format() == QImage::Format_RGB32 ? source
                                                                   : source.convertToFormat(QImage::Format_RGB32);
    const int pw = picture.width();
    const int ph = picture.height();
    const int left = frame.Width() / 2 - pw / 2;
    const int top = frame.Height() / 2 - ph / 2;
    const std::uint32_t transparent = picture.pixel(0, ph - 1) & 0xFFFFFFu;
    for (int y = 0; y < ph; ++y) {
        const int fy = top + y;
        if (fy < 0 || fy >= frame.Height()) continue;
        const auto* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        for (int x = 0; x < pw; ++x) {
            const int fx = left + x;
            if (fx < 0 || fx >= frame.Width()) continue;
            const std::uint32_t rgb = row[x] & 0xFFFFFFu;
            if (rgb != transparent) frame.SetPixelRGB(fx, fy, rgb);
        }
    }
}

}  // namespace tolm
