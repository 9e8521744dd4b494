#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>

#include <mutex>

namespace tolm {

class Bitmap;

// The overlay picture drawn into every recorded frame. The file is named on the window's thread and drawn from
// the recording worker; it is read again whenever the file or its modification time changes, so edits to the
// picture show up while recording without reading it for every frame.
class TOverlayPicture {
  public:
    void SetFileName(const QString& fileName);
    QString FileName() const;

    enum class DrawResult { drawn, unreadable, unreadableReported };
    // Draws the picture centred into the frame; pixels of the picture's lower-left colour are left out. An
    // unreadable file draws nothing; only its first failure (per file name) answers `unreadable`.
    DrawResult Draw(Bitmap& frame);
    // A later failure of the same file is reported again (a new recording).
    void RearmReport();

  private:
    bool LoadLocked();

    mutable std::mutex mutex_;
    QString fileName_;
    QImage picture_;
    QDateTime loadedStamp_;
    qint64 loadedSize_ = -1;
    bool reported_ = false;
};

// Draws `picture` centred on `frame` (halves rounded toward zero), skipping pixels of its lower-left colour.
void DrawTransparentCentred(Bitmap& frame, const QImage& picture);

}  // namespace tolm
