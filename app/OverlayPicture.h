#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>

#include <mutex>

namespace tolm {

class Bitmap;

// The overlay picture drawn into every recorded frame. The file is named on the window's thread and drawn from
// the recording worker; it is read again whenever the file or its modification time changes, so edits to the
// picture show up while recording without reading it for every frame. A file that cannot be used is not tried
// again until it changes.
class TOverlayPicture {
  public:
    void SetFileName(const QString& fileName);
    QString FileName() const;

    enum class DrawResult { drawn, unreadable, unreadableReported };
    // Draws the picture centred into the frame; pixels of the picture's lower-left colour are left out. An
    // unreadable file draws nothing; only its first failure (per file name) answers `unreadable`.
    DrawResult Draw(Bitmap& frame);
    // Why the file could not be used the last time, e.g. "it is cut short".
    QString Problem() const;
    // A later failure of the same file is reported again (a new recording).
    void RearmReport();

  private:
    bool LoadLocked();

    mutable std::mutex mutex_;
    QString fileName_;
    QImage picture_;
    QString problem_;
    // The file as it was when it was last read, whether that succeeded or not.
    QDateTime triedStamp_;
    qint64 triedSize_ = -1;
    bool reported_ = false;
};

// Overlay pictures larger than this are refused rather than read.
inline constexpr qint64 kMaxOverlayFileBytes = 64 * 1024 * 1024;

// Reads a BMP picture as 32-bit RGB. The headers are checked before the picture is decoded, so a file cut short
// is refused instead of being shown half made up; a null image comes back with `problem` saying why.
QImage ReadBmpPicture(const QString& fileName, QString& problem);

// Draws `picture` centred on `frame` (halves rounded toward zero), skipping pixels of its lower-left colour.
void DrawTransparentCentred(Bitmap& frame, const QImage& picture);

}  // namespace tolm
