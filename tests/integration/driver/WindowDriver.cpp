#include "integration/driver/WindowDriver.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include "integration/driver/ProgramRuns.h"
#include "integration/ffmpeg/FfmpegTestSupport.h"

namespace tolm::testing {
namespace {

// The ids of the visible windows with exactly this title.
std::vector<std::string> VisibleWindows(const std::string& title) {
    std::istringstream ids(Shell("xdotool search --onlyvisible --name " + Quote("^" + title + "$") + " 2>/dev/null"));
    std::vector<std::string> found;
    for (std::string id; ids >> id;) found.push_back(id);
    return found;
}

}  // namespace

std::string Shell(const std::string& command) {
    int status = 0;
    return RunCommand(command, status);
}

void Keys(const std::string& keys) {
    int status = 0;
    RunCommand("xdotool key --delay 50 " + keys, status);
    EXPECT_EQ(status, 0) << "xdotool key " << keys;
}

void Click(const std::string& window, Spot spot) {
    Shell("xdotool mousemove --window " + window + " " + std::to_string(spot.x) + " " + std::to_string(spot.y) +
          " click 1");
}

std::string FindWindow(const std::string& title, std::chrono::seconds timeout) {
    std::string id;
    PollUntil(
        [&] {
            const std::vector<std::string> found = VisibleWindows(title);
            if (!found.empty()) id = found.front();
            return !found.empty();
        },
        timeout, 100ms);
    return id;
}

bool WaitForNoWindow(const std::string& title, std::chrono::seconds timeout) {
    return PollUntil([&] { return VisibleWindows(title).empty(); }, timeout, 100ms);
}

void AskToClose(const std::string& window) {
    struct Disconnect {
        void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
    };
    const std::unique_ptr<xcb_connection_t, Disconnect> c(xcb_connect(nullptr, nullptr));
    ASSERT_EQ(xcb_connection_has_error(c.get()), 0);
    const auto atom = [&](const char* name) {
        const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(c.get(), xcb_intern_atom(c.get(), 0, std::strlen(name), name), nullptr), &std::free);
        return reply ? reply->atom : xcb_atom_t{XCB_NONE};
    };
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(std::stoul(window));
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    // Checked, so the server has taken the message before the connection goes.
    std::free(xcb_request_check(c.get(), xcb_send_event_checked(c.get(), 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                                                                reinterpret_cast<const char*>(&event))));
}

void DismissAll(const std::string& title) {
    if (FindWindow(title, 3s).empty()) return;
    for (int tries = 0; tries < 20; ++tries) {
        const std::vector<std::string> open = VisibleWindows(title);
        if (open.empty()) return;
        for (const std::string& id : open) AskToClose(id);
        std::this_thread::sleep_for(300ms);
    }
    ADD_FAILURE() << "the boxes titled " << title << " do not close";
}

}  // namespace tolm::testing
