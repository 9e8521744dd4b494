#include "app/OverlayPicture.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdint>

#include "imaging/Bitmap.h"

namespace tolm {

namespace {

// Pictures wider or taller than this are no overlay for a screen recording.
constexpr qint64 kMaxOverlaySide = 16384;

std::uint32_t U16(const QByteArray& b, int at) {
    return static_cast<std::uint8_t>(b[at]) | static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 1])) << 8;
}

std::uint32_t U32(const QByteArray& b, int at) {
    return U16(b, at) | U16(b, at + 2) << 16;
}

// Whether the headers describe a picture the file holds in full; `problem` says what is wrong otherwise.
bool CheckBmpHeaders(const QByteArray& bytes, QString& problem) {
    const qint64 size = bytes.size();
    if (size == 0) {
        problem = QStringLiteral("it is empty");
        return false;
    }
    if (bytes[0] != 'B' || (size >= 2 && bytes[1] != 'M')) {
        problem = QStringLiteral("it is not a BMP picture");
        return false;
    }
    constexpr int kFileHeader = 14;
    if (size < kFileHeader + 16) {
        problem = QStringLiteral("it is cut short");
        return false;
    }
    const qint64 pixelsAt = U32(bytes, 10);
    const qint64 infoSize = U32(bytes, 14);
    if (infoSize != 12 && infoSize < 16) {
        problem = QStringLiteral("its header is damaged");
        return false;
    }
    if (kFileHeader + infoSize > size || pixelsAt > size) {
        problem = QStringLiteral("it is cut short");
        return false;
    }
    const bool core = infoSize == 12;
    const qint64 width = core ? U16(bytes, 18) : static_cast<std::int32_t>(U32(bytes, 18));
    const qint64 height = core ? U16(bytes, 20) : static_cast<std::int32_t>(U32(bytes, 22));
    const qint64 bits = U16(bytes, core ? 24 : 28);
    const std::uint32_t compression = infoSize >= 20 ? U32(bytes, 30) : 0;
    if (width <= 0 || height == 0 || width > kMaxOverlaySide || height > kMaxOverlaySide || height < -kMaxOverlaySide ||
        (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) ||
        pixelsAt < kFileHeader + infoSize) {
        problem = QStringLiteral("its header is damaged");
        return false;
    }
    qint64 pixelBytes = 0;
    if (compression == 0 || compression == 3 || compression == 6) {
        pixelBytes = (width * bits + 31) / 32 * 4 * (height < 0 ? -height : height);
    } else if (compression == 1 || compression == 2) {
        pixelBytes = infoSize >= 24 ? U32(bytes, 34) : 0;  // run-length coded: only the header knows
    }
    if (pixelsAt + pixelBytes > size) {
        problem = QStringLiteral("it is cut short");
        return false;
    }
    return true;
}

}  // namespace

QImage ReadBmpPicture(const QString& fileName, QString& problem) {
    const QFileInfo info(fileName);
    if (!info.exists()) {
        problem = QStringLiteral("the file does not exist");
        return {};
    }
    // A pipe or a device would block the read or never end it.
    if (!info.isFile()) {
        problem = QStringLiteral("it is not a file");
        return {};
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        problem = file.errorString();
        return {};
    }
    // read(n) sets aside n bytes (and more) whatever the file holds: asked for no more than the file has (one
    // byte over, to see one larger than allowed), a small picture costs no 128 MB.
    const QByteArray bytes = file.read(std::min(file.size(), kMaxOverlayFileBytes) + 1);
    if (bytes.size() > kMaxOverlayFileBytes) {
        problem = QStringLiteral("it is larger than %1 MB").arg(kMaxOverlayFileBytes / (1024 * 1024));
        return {};
    }
    if (!CheckBmpHeaders(bytes, problem)) return {};
    QImage picture;
    if (!picture.loadFromData(bytes, "BMP") || picture.isNull()) {
        problem = QStringLiteral("it is not a BMP picture this program can read");
        return {};
    }
    problem.clear();
    return picture.convertToFormat(QImage::Format_RGB32);
}

void TOverlayPicture::SetFileName(const QString& fileName) {
    std::lock_guard lock(mutex_);
    if (fileName == fileName_) return;
    fileName_ = fileName;
    picture_ = QImage();
    problem_.clear();
    triedStamp_ = QDateTime();
    triedSize_ = -1;
    reported_ = false;
}

QString TOverlayPicture::FileName() const {
    std::lock_guard lock(mutex_);
    return fileName_;
}

QString TOverlayPicture::Problem() const {
    std::lock_guard lock(mutex_);
    return problem_;
}

void TOverlayPicture::RearmReport() {
    std::lock_guard lock(mutex_);
    reported_ = false;
}

bool TOverlayPicture::LoadLocked() {
    const QFileInfo info(fileName_);
    if (fileName_.isEmpty() || !info.exists()) {
        picture_ = QImage();
        problem_ = fileName_.isEmpty() ? QStringLiteral("no file is named") : QStringLiteral("the file does not exist");
        triedSize_ = -1;
        return false;
    }
    const QDateTime stamp = info.lastModified();
    if (stamp == triedStamp_ && info.size() == triedSize_) return !picture_.isNull();
    triedStamp_ = stamp;
    triedSize_ = info.size();
    picture_ = ReadBmpPicture(fileName_, problem_);
    return !picture_.isNull();
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
    const QImage picture =
        source.format() == QImage::Format_RGB32 ? source : source.convertToFormat(QImage::Format_RGB32);
    const int pw = picture.width();
    const int ph = picture.height();
    const int left = frame.Width() / 2 - pw / 2;
    const int top = frame.Height() / 2 - ph / 2;
    const std::uint32_t transparent = picture.pixel(0, ph - 1) & 0xFFFFFFu;
    // Only the part over the frame is walked: a picture far larger than the frame costs no more per frame.
    const int firstY = std::max(0, -top);
    const int endY = std::min(ph, frame.Height() - top);
    const int firstX = std::max(0, -left);
    const int endX = std::min(pw, frame.Width() - left);
    for (int y = firstY; y < endY; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        for (int x = firstX; x < endX; ++x) {
            const std::uint32_t rgb = row[x] & 0xFFFFFFu;
            if (rgb != transparent) frame.SetPixelRGB(left + x, top + y, rgb);
        }
    }
}

}  // namespace tolm
