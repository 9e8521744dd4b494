#include "platform/portal/PortalScreenSource.h"

#include <chrono>
#include <mutex>
#include <new>
#include <utility>

#include "platform/portal/FrameStore.h"
#include "platform/portal/PipeWireStream.h"
#include "platform/portal/PortalRequest.h"
#include "platform/portal/ScreenCastSession.h"

namespace tolm {

namespace {

// A grab before the stream's first picture waits this long for it.
constexpr std::chrono::milliseconds kFirstPictureWait{2000};
// The desktop may take a moment to start a stream it just granted. Its first picture may come much later: some
// desktops send one only once something on the screen changes.
constexpr std::chrono::milliseconds kStartWait{5000};

// One stream of the desktop's ScreenCast portal as the virtual desktop: a single monitor where the desktop
// says it lies, else at (0,0).
class PortalScreenSource final : public ScreenSource {
  public:
    explicit PortalScreenSource(std::unique_ptr<portal::ScreenCastSession> session)
        : session_(std::move(session)),
          origin_(session_->Stream().hasPosition ? session_->Stream().position : Point{}),
          pointerMetadata_(session_->CursorModeInUse() == portal::kCursorMetadata) {}
    ~PortalScreenSource() override { stream_.reset(); }  // its thread writes into the store

    bool Start(std::string& error) {
        const int fd = session_->OpenPipeWireRemote(error);
        if (fd < 0) return false;
        stream_ = portal::PipeWireStream::Open(fd, session_->Stream().node, pointerMetadata_, store_, error);
        if (!stream_) return false;
        if (store_.WaitForSize(kStartWait, error)) return true;
        stream_.reset();
        return false;
    }

    bool Grab(const Rect& area, Bitmap& dst) override {
        if (area.Empty() || dst.PixelFormat() != TPixelFormat::pf32bit || dst.Width() != area.width ||
            dst.Height() != area.height) {
            try {
                dst = Bitmap(area.width, area.height, TPixelFormat::pf32bit);
            } catch (const std::bad_alloc&) {
                return Fail("Not enough memory for a " + std::to_string(area.width) + "x" +
                            std::to_string(area.height) + " image.");
            }
        }
        return area.Empty() || GrabInto(area, dst.Rows());
    }

    bool AreaChanged(const Rect& /*area*/) override { return store_.ChangedSince(seen_); }
    bool AwaitingFirstPicture() override { return store_.AwaitingFirstPicture(); }

    bool GrabInto(const Rect& area, const PixelRows& dst) override {
        if (area.Empty()) return true;
        if (dst.width != area.width || dst.height != area.height)
            return Fail("The grab was given rows of another size.");
        std::string problem;
        return store_.Cut(area, origin_, dst, kFirstPictureWait, problem) || Fail(std::move(problem));
    }

    bool TellsPointerPosition() const override { return pointerMetadata_; }

    bool QueryCursor(CursorImage& cursor) override {
        // Without metadata the desktop painted the pointer into the picture or left it out, and where it is stays
        // unknown: a failed query, so an area that follows the mouse stays put rather than jump to a corner.
        if (!pointerMetadata_) {
            cursor = CursorImage{};
            return false;
        }
        if (!store_.Pointer(cursor)) {
            cursor = CursorImage{};
            return true;
        }
        cursor.position = Point{cursor.position.x + origin_.x, cursor.position.y + origin_.y};
        return true;
    }

    std::vector<Rect> Monitors() override { return {VirtualDesktop()}; }

    Rect VirtualDesktop() override {
        int width = 0;
        int height = 0;
        store_.Size(width, height);
        if (width <= 0 || height <= 0) {
            width = session_->Stream().width;
            height = session_->Stream().height;
        }
        return Rect{origin_.x, origin_.y, width, height};
    }

    std::string LastError() const override {
        const std::lock_guard lock(errorMutex_);
        return lastError_;
    }

  private:
    bool Fail(std::string message) {
        const std::lock_guard lock(errorMutex_);
        lastError_ = std::move(message);
        return false;
    }

    std::unique_ptr<portal::ScreenCastSession> session_;  // first: the sharing ends after the stream
    const Point origin_;
    const bool pointerMetadata_;
    portal::FrameStore store_;
    // The number of the last picture AreaChanged reported, guarded by the store's lock; none has this one, so the
    // first call says true.
    std::uint64_t seen_ = ~std::uint64_t{0};
    std::unique_ptr<portal::PipeWireStream> stream_;
    mutable std::mutex errorMutex_;
    std::string lastError_;
};

void AddNotices(const portal::ScreenCastSession& session, const PortalOptions& options,
                std::vector<std::string>& notices) {
    if (session.CursorModeInUse() != portal::kCursorMetadata) {
        notices.push_back(options.cursor ? "This desktop paints the pointer into the picture itself and does not "
                                           "tell where it is: the cursor options have no effect on it, and an area "
                                           "that follows the mouse stays where it is."
                                         : "This desktop does not tell where the pointer is: it decides itself "
                                           "whether the picture shows it, and an area that follows the mouse stays "
                                           "where it is.");
    }
    if (!session.TokenProblem().empty()) {
        notices.push_back("The desktop will ask again next time: " + session.TokenProblem());
    }
}

}  // namespace

bool PortalAvailable(std::string& why) {
    sd_bus* raw = nullptr;
    if (sd_bus_open_user(&raw) < 0) {
        why = "no session bus";
        return false;
    }
    const portal::SdBus bus(raw);
    std::uint32_t version = 0;
    if (!portal::ReadScreenCastProperty(bus.get(), "version", version)) {
        why = "no ScreenCast portal on this desktop";
        return false;
    }
    return true;
}

std::unique_ptr<ScreenSource> CreatePortalScreenSource(const PortalOptions& options, std::string& error,
                                                       std::vector<std::string>& notices) {
    std::unique_ptr<portal::ScreenCastSession> session = portal::ScreenCastSession::Open(options, error);
    if (!session) return nullptr;
    std::vector<std::string> found;
    AddNotices(*session, options, found);
    auto source = std::make_unique<PortalScreenSource>(std::move(session));
    if (!source->Start(error)) return nullptr;
    notices.insert(notices.end(), found.begin(), found.end());
    return source;
}

}  // namespace tolm
