#include "platform/portal/PortalRequest.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace tolm::portal {

namespace {

constexpr std::uint64_t kCallTimeoutUsec = 10'000'000;

// The request object the portal makes for `token`, named after our unique name without its colon and with
// its dots as underscores.
std::string RequestPath(sd_bus* bus, const std::string& token) {
    const char* unique = nullptr;
    if (sd_bus_get_unique_name(bus, &unique) < 0 || unique == nullptr) return {};
    std::string sender = unique[0] == ':' ? unique + 1 : unique;
    for (char& c : sender) {
        if (c == '.') c = '_';
    }
    return std::string(kPortalPath) + "/request/" + sender + "/" + token;
}

struct Pending {
    bool answered = false;
    PortalResponse* response = nullptr;
};

int OnResponse(sd_bus_message* message, void* userdata, sd_bus_error* /*error*/) {
    auto* pending = static_cast<Pending*>(userdata);
    std::uint32_t code = 2;
    if (sd_bus_message_read(message, "u", &code) < 0) code = 2;
    pending->response->code = code;
    pending->response->results.reset(sd_bus_message_ref(message));
    pending->answered = true;
    return 0;
}

// Serves the bus until the response came, the bus fails or the deadline passes.
bool AwaitResponse(sd_bus* bus, const Pending& pending, std::chrono::seconds timeout, const char* method,
                   std::string& error) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!pending.answered) {
        const int processed = sd_bus_process(bus, nullptr);
        if (processed < 0) {
            error = std::string("Lost the session bus while waiting for the desktop's screen sharing (") +
                    std::strerror(-processed) + ").";
            return false;
        }
        if (processed > 0) continue;
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) {
            error = std::string("The desktop's screen sharing did not answer ") + method + " within " +
                    std::to_string(timeout.count()) + " s.";
            return false;
        }
        const auto usec = std::chrono::duration_cast<std::chrono::microseconds>(left).count();
        const int waited = sd_bus_wait(bus, static_cast<std::uint64_t>(usec));
        if (waited < 0 && waited != -EINTR) {
            error = std::string("Lost the session bus while waiting for the desktop's screen sharing (") +
                    std::strerror(-waited) + ").";
            return false;
        }
    }
    return true;
}

}  // namespace

std::string NewToken() {
    static std::atomic<unsigned> counter{0};
    return "tolm_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

bool CallAndWait(sd_bus* bus, const char* method, const ArgumentWriter& writeArguments, std::chrono::seconds timeout,
                 PortalResponse& response, std::string& error) {
    const std::string token = NewToken();
    const std::string path = RequestPath(bus, token);
    if (path.empty()) {
        error = "The session bus gave this program no name.";
        return false;
    }
    Pending pending{false, &response};
    sd_bus_slot* rawSlot = nullptr;
    if (sd_bus_match_signal(bus, &rawSlot, nullptr, path.c_str(), "org.freedesktop.portal.Request", "Response",
                            OnResponse, &pending) < 0) {
        error = "Could not listen for the desktop's screen sharing on the session bus.";
        return false;
    }
    const SdBusSlot slot(rawSlot);

    sd_bus_message* rawCall = nullptr;
    int result = sd_bus_message_new_method_call(bus, &rawCall, kPortalService, kPortalPath, kScreenCast, method);
    const SdBusMessage call(rawCall);
    if (result >= 0) result = writeArguments(call.get(), token);
    if (result < 0) {
        error = std::string("Could not put together the ") + method + " call (" + std::strerror(-result) + ").";
        return false;
    }
    BusError callError;
    sd_bus_message* rawReply = nullptr;
    result = sd_bus_call(bus, call.get(), kCallTimeoutUsec, callError.Get(), &rawReply);
    const SdBusMessage reply(rawReply);
    if (result < 0) {
        error = std::string("The desktop's screen sharing refused ") + method + ": " + callError.Text(result) + ".";
        return false;
    }
    return AwaitResponse(bus, pending, timeout, method, error);
}

bool ReadScreenCastProperty(sd_bus* bus, const char* name, std::uint32_t& value) {
    BusError error;
    return sd_bus_get_property_trivial(bus, kPortalService, kPortalPath, kScreenCast, name, error.Get(), 'u', &value) >=
           0;
}

int ReadOptions(sd_bus_message* message, const std::function<int(const std::string& key)>& readValue) {
    int result = sd_bus_message_enter_container(message, 'a', "{sv}");
    if (result < 0) return result;
    while ((result = sd_bus_message_enter_container(message, 'e', "sv")) > 0) {
        const char* key = nullptr;
        result = sd_bus_message_read(message, "s", &key);
        if (result < 0) return result;
        result = readValue(key);
        if (result == 0) result = sd_bus_message_skip(message, "v");
        if (result < 0) return result;
        result = sd_bus_message_exit_container(message);
        if (result < 0) return result;
    }
    if (result < 0) return result;
    return sd_bus_message_exit_container(message);
}

}  // namespace tolm::portal
