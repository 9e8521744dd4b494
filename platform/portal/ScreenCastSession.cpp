#include "platform/portal/ScreenCastSession.h"

#include <fcntl.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "platform/portal/PortalRequest.h"
#include "platform/portal/RestoreToken.h"

namespace tolm::portal {

namespace {

constexpr std::chrono::seconds kAnswerTimeout{10};
// Start may show the desktop's chooser; the user gets time to pick, but a chooser nobody answers ends.
constexpr std::chrono::seconds kChooserTimeout{120};
constexpr std::uint32_t kSourceMonitor = 1;
constexpr std::uint32_t kSourceWindow = 2;
// Kept until the user revokes it, so the chooser comes once.
constexpr std::uint32_t kPersistUntilRevoked = 2;
constexpr std::uint64_t kCallTimeoutUsec = 10'000'000;

// One sentence for a request the portal answered with anything but success.
bool Granted(const PortalResponse& response, const char* step, std::string& error) {
    if (response.code == 0) return true;
    if (response.code == 1) {
        error = "The desktop's screen sharing was cancelled; nothing to record.";
    } else {
        error = std::string("The desktop refused to share the screen (") + step + " ended with code " +
                std::to_string(response.code) + ").";
    }
    return false;
}

int ReadStreamProperties(sd_bus_message* m, GrantedStream& stream) {
    return ReadOptions(m, [&](const std::string& key) {
        if (key == "position") {
            const int r = sd_bus_message_read(m, "v", "(ii)", &stream.position.x, &stream.position.y);
            stream.hasPosition = r >= 0;
            return r < 0 ? r : 1;
        }
        if (key == "size") {
            const int r = sd_bus_message_read(m, "v", "(ii)", &stream.width, &stream.height);
            return r < 0 ? r : 1;
        }
        return 0;
    });
}

// The variant holding a(ua{sv}); only the first stream is used, since one source was asked for.
int ReadStreams(sd_bus_message* m, std::vector<GrantedStream>& streams) {
    int r = sd_bus_message_enter_container(m, 'v', "a(ua{sv})");
    if (r >= 0) r = sd_bus_message_enter_container(m, 'a', "(ua{sv})");
    while (r >= 0 && (r = sd_bus_message_enter_container(m, 'r', "ua{sv}")) > 0) {
        GrantedStream stream;
        r = sd_bus_message_read(m, "u", &stream.node);
        if (r >= 0) r = ReadStreamProperties(m, stream);
        if (r >= 0) r = sd_bus_message_exit_container(m);
        streams.push_back(stream);
    }
    if (r >= 0) r = sd_bus_message_exit_container(m);
    if (r >= 0) r = sd_bus_message_exit_container(m);
    return r;
}

int OpenOptions(sd_bus_message* call, const std::string& token) {
    int r = sd_bus_message_open_container(call, 'a', "{sv}");
    if (r >= 0) r = AppendOption(call, "handle_token", "s", token.c_str());
    return r;
}

}  // namespace

std::uint32_t ChooseCursorMode(std::uint32_t available, bool wantCursor) {
    if ((available & kCursorMetadata) != 0) return kCursorMetadata;
    if (wantCursor && (available & kCursorEmbedded) != 0) return kCursorEmbedded;
    return kCursorHidden;
}

std::unique_ptr<ScreenCastSession> ScreenCastSession::Open(const PortalOptions& options, std::string& error) {
    auto session = std::make_unique<ScreenCastSession>();
    sd_bus* rawBus = nullptr;
    if (sd_bus_open_user(&rawBus) < 0) {
        error = "No session bus: the desktop's screen sharing cannot be reached.";
        return nullptr;
    }
    session->bus_.reset(rawBus);
    if (!ReadScreenCastProperty(rawBus, "version", session->version_)) {
        error = "This desktop has no ScreenCast portal, so its screen cannot be shared.";
        return nullptr;
    }
    const std::string tokenFile =
        options.restoreTokenFile.empty() ? DefaultRestoreTokenFile() : options.restoreTokenFile;
    if (!session->CreateSession(error) || !session->SelectSources(options.cursor, tokenFile, error) ||
        !session->Start(tokenFile, error)) {
        return nullptr;
    }
    return session;
}

ScreenCastSession::~ScreenCastSession() {
    if (!bus_ || session_.empty()) return;
    // Sent without waiting; closing the bus flushes it, and the desktop ends the sharing when we leave anyway.
    sd_bus_message* raw = nullptr;
    if (sd_bus_message_new_method_call(bus_.get(), &raw, kPortalService, session_.c_str(),
                                       "org.freedesktop.portal.Session", "Close") >= 0) {
        const SdBusMessage close(raw);
        sd_bus_send(bus_.get(), close.get(), nullptr);
    }
}

bool ScreenCastSession::CreateSession(std::string& error) {
    const std::string sessionToken = NewToken();
    PortalResponse response;
    const auto write = [&](sd_bus_message* call, const std::string& token) {
        int r = OpenOptions(call, token);
        if (r >= 0) r = AppendOption(call, "session_handle_token", "s", sessionToken.c_str());
        if (r >= 0) r = sd_bus_message_close_container(call);
        return r;
    };
    if (!CallAndWait(bus_.get(), "CreateSession", write, kAnswerTimeout, response, error)) return false;
    if (!Granted(response, "CreateSession", error)) return false;
    const int r = ReadOptions(response.results.get(), [&](const std::string& key) {
        if (key != "session_handle") return 0;
        const char* handle = nullptr;
        const int read = sd_bus_message_read(response.results.get(), "v", "s", &handle);
        if (read >= 0 && handle != nullptr) session_ = handle;
        return read < 0 ? read : 1;
    });
    if (r < 0 || session_.empty()) {
        error = "The desktop's screen sharing opened no session.";
        return false;
    }
    return true;
}

bool ScreenCastSession::SelectSources(bool wantCursor, const std::string& tokenFile, std::string& error) {
    std::uint32_t sourceTypes = kSourceMonitor;
    std::uint32_t cursorModes = 0;
    ReadScreenCastProperty(bus_.get(), "AvailableSourceTypes", sourceTypes);
    ReadScreenCastProperty(bus_.get(), "AvailableCursorModes", cursorModes);
    // A portal that names no modes decides itself; it paints the pointer in or leaves it out.
    cursorMode_ = cursorModes == 0 ? kCursorEmbedded : ChooseCursorMode(cursorModes, wantCursor);
    const std::uint32_t types = kSourceMonitor | (sourceTypes & kSourceWindow);
    const std::string restoreToken = version_ >= 4 ? ReadRestoreToken(tokenFile) : std::string();
    PortalResponse response;
    const auto write = [&](sd_bus_message* call, const std::string& token) {
        int r = sd_bus_message_append(call, "o", session_.c_str());
        if (r >= 0) r = OpenOptions(call, token);
        if (r >= 0) r = AppendOption(call, "types", "u", types);
        if (r >= 0) r = AppendOption(call, "multiple", "b", 0);
        if (r >= 0 && cursorModes != 0) r = AppendOption(call, "cursor_mode", "u", cursorMode_);
        if (r >= 0 && version_ >= 4) r = AppendOption(call, "persist_mode", "u", kPersistUntilRevoked);
        if (r >= 0 && !restoreToken.empty()) r = AppendOption(call, "restore_token", "s", restoreToken.c_str());
        if (r >= 0) r = sd_bus_message_close_container(call);
        return r;
    };
    if (!CallAndWait(bus_.get(), "SelectSources", write, kAnswerTimeout, response, error)) return false;
    return Granted(response, "SelectSources", error);
}

bool ScreenCastSession::Start(const std::string& tokenFile, std::string& error) {
    PortalResponse response;
    const auto write = [&](sd_bus_message* call, const std::string& token) {
        int r = sd_bus_message_append(call, "os", session_.c_str(), "");
        if (r >= 0) r = OpenOptions(call, token);
        if (r >= 0) r = sd_bus_message_close_container(call);
        return r;
    };
    if (!CallAndWait(bus_.get(), "Start", write, kChooserTimeout, response, error)) return false;
    if (!Granted(response, "Start", error)) return false;
    std::vector<GrantedStream> streams;
    std::string restoreToken;
    sd_bus_message* m = response.results.get();
    const int r = ReadOptions(m, [&](const std::string& key) {
        if (key == "streams") return ReadStreams(m, streams) < 0 ? -EBADMSG : 1;
        if (key != "restore_token") return 0;
        const char* text = nullptr;
        const int read = sd_bus_message_read(m, "v", "s", &text);
        if (read >= 0 && text != nullptr) restoreToken = text;
        return read < 0 ? read : 1;
    });
    if (r < 0 || streams.empty()) {
        error = "The desktop's screen sharing started without a screen to record.";
        return false;
    }
    stream_ = streams.front();
    if (!restoreToken.empty() && !tokenFile.empty()) WriteRestoreToken(tokenFile, restoreToken, tokenProblem_);
    return true;
}

int ScreenCastSession::OpenPipeWireRemote(std::string& error) {
    BusError callError;
    sd_bus_message* rawCall = nullptr;
    int r = sd_bus_message_new_method_call(bus_.get(), &rawCall, kPortalService, kPortalPath, kScreenCast,
                                           "OpenPipeWireRemote");
    const SdBusMessage call(rawCall);
    if (r >= 0) r = sd_bus_message_append(call.get(), "oa{sv}", session_.c_str(), 0);
    sd_bus_message* rawReply = nullptr;
    if (r >= 0) r = sd_bus_call(bus_.get(), call.get(), kCallTimeoutUsec, callError.Get(), &rawReply);
    const SdBusMessage reply(rawReply);
    int fd = -1;
    if (r >= 0) r = sd_bus_message_read(reply.get(), "h", &fd);
    // The descriptor belongs to the reply; ours is a copy.
    const int own = r >= 0 ? fcntl(fd, F_DUPFD_CLOEXEC, 3) : -1;
    if (own < 0) {
        error = "The desktop did not open the screen's PipeWire stream: " +
                (r < 0 ? callError.Text(r) : std::string(std::strerror(errno))) + ".";
    }
    return own;
}

}  // namespace tolm::portal
