#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/Geometry.h"
#include "platform/portal/PortalScreenSource.h"
#include "platform/portal/SdBusHandles.h"

namespace tolm::portal {

// What the desktop granted: one PipeWire node and where it lies on the desktop, when it said.
struct GrantedStream {
    std::uint32_t node = 0;
    bool hasPosition = false;
    Point position;
    int width = 0;  // 0 when the desktop gave no size
    int height = 0;
};

// The ScreenCast cursor modes, as the portal numbers them.
enum CursorMode : std::uint32_t { kCursorHidden = 1, kCursorEmbedded = 2, kCursorMetadata = 4 };

// Metadata where the desktop offers it (our own cursor code draws it then), else the desktop's painting when
// the pointer is wanted, else none.
std::uint32_t ChooseCursorMode(std::uint32_t available, bool wantCursor);

// A screen the desktop agreed to share, from its ScreenCast portal. The sharing lasts while this lives.
class ScreenCastSession {
  public:
    // Asks the desktop (which may show its chooser; up to two minutes are given for it). Null with `error`
    // set when it refuses, the user cancels or there is no portal.
    static std::unique_ptr<ScreenCastSession> Open(const PortalOptions& options, std::string& error);
    ScreenCastSession() = default;
    ~ScreenCastSession();
    ScreenCastSession(const ScreenCastSession&) = delete;
    ScreenCastSession& operator=(const ScreenCastSession&) = delete;

    const GrantedStream& Stream() const { return stream_; }
    std::uint32_t CursorModeInUse() const { return cursorMode_; }
    // A new descriptor of the PipeWire connection to the shared stream, -1 with `error` set on failure.
    int OpenPipeWireRemote(std::string& error);
    // A problem keeping the restore token, for the user to read; empty when none.
    const std::string& TokenProblem() const { return tokenProblem_; }

  private:
    bool CreateSession(std::string& error);
    bool SelectSources(bool wantCursor, const std::string& tokenFile, std::string& error);
    bool Start(const std::string& tokenFile, std::string& error);

    SdBus bus_;
    std::string session_;
    std::uint32_t version_ = 0;
    std::uint32_t cursorMode_ = kCursorHidden;
    GrantedStream stream_;
    std::string tokenProblem_;
};

}  // namespace tolm::portal
