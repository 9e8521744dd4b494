#pragma once

#include <QImage>

#include <mutex>
#include <optional>

namespace tolm {

// The newest preview frame on its way to the window. Frames come from the recording worker for every pass; a
// window that is busy shows the latest one when it gets to it instead of working through a backlog.
class LatestPreview {
  public:
    struct Frame {
        QImage image;
        bool hasFrame = false;
        bool preview = false;
        bool recording = false;
    };

    // Keeps `frame` in place of one still waiting; true when none was waiting, so the window must be asked once.
    bool Put(Frame frame);
    // The waiting frame, if any; the next Put asks the window again.
    std::optional<Frame> Take();

  private:
    std::mutex mutex_;
    std::optional<Frame> waiting_;
};

}  // namespace tolm
