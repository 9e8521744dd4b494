#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/portal/SdBusHandles.h"

namespace tolm::portal {

inline constexpr const char* kPortalService = "org.freedesktop.portal.Desktop";
inline constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
inline constexpr const char* kScreenCast = "org.freedesktop.portal.ScreenCast";

// What a portal request answered: 0 success, 1 cancelled by the user, 2 anything else. `results` is positioned
// at the answer's a{sv} of results.
struct PortalResponse {
    std::uint32_t code = 2;
    SdBusMessage results;
};

// Appends a method's arguments before its options; `token` must go into the options as handle_token.
using ArgumentWriter = std::function<int(sd_bus_message* call, const std::string& token)>;

// Calls `method` of the ScreenCast portal and waits up to `timeout` for the Response of the request it starts,
// listening for it before the call so that a quick answer is not missed. False with `error` set when the call
// fails, the bus is lost or no answer comes in time.
bool CallAndWait(sd_bus* bus, const char* method, const ArgumentWriter& writeArguments, std::chrono::seconds timeout,
                 PortalResponse& response, std::string& error);

// Reads a `u` property of the ScreenCast portal; false when the bus or the portal does not answer.
bool ReadScreenCastProperty(sd_bus* bus, const char* name, std::uint32_t& value);

// A fresh token for a request or session object: letters, digits and underscores only.
std::string NewToken();

// Reads an a{sv} at the message's position, calling `readValue` with each key while the variant is next;
// `readValue` returns 1 when it read the variant, 0 to have it skipped, negative on a malformed value.
int ReadOptions(sd_bus_message* message, const std::function<int(const std::string& key)>& readValue);

// Appends one {sv} entry to an a{sv} container the caller opened.
template <class Value>
int AppendOption(sd_bus_message* message, const char* key, const char* type, Value value) {
    return sd_bus_message_append(message, "{sv}", key, type, value);
}

}  // namespace tolm::portal
