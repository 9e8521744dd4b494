#include "platform/x11/XcbConnect.h"

#include <cstdlib>

namespace tolm::x11 {
namespace {

std::string ConnectProblem(int code) {
    switch (code) {
        case XCB_CONN_CLOSED_PARSE_ERR:
            return "it is not a valid display name";
        case XCB_CONN_CLOSED_INVALID_SCREEN:
            return "the display has no such screen";
        case XCB_CONN_CLOSED_MEM_INSUFFICIENT:
            return "out of memory";
        default:
            return "no X server answers there, or it refused the connection";
    }
}

const xcb_screen_t* ScreenOf(const xcb_setup_t* setup, int number) {
    auto it = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < number && it.rem; ++i) xcb_screen_next(&it);
    return it.rem ? it.data : nullptr;
}

}  // namespace

DisplayConnection ConnectToDisplay(const std::string& displayName, std::string& error) {
    DisplayConnection result;
    const char* environmentName = std::getenv("DISPLAY");
    result.shownName = !displayName.empty() ? displayName : environmentName ? environmentName : "";
    if (result.shownName.empty()) {
        error = "Cannot open the X display: DISPLAY is not set.";
        return result;
    }
    int screenNumber = 0;
    XcbConnection connection(xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), &screenNumber));
    xcb_connection_t* c = connection.get();
    if (c == nullptr || xcb_connection_has_error(c)) {
        const int code = c == nullptr ? XCB_CONN_ERROR : xcb_connection_has_error(c);
        error = "Cannot open display " + result.shownName + " (" + ConnectProblem(code) + ").";
        return result;
    }
    result.screen = ScreenOf(xcb_get_setup(c), screenNumber);
    if (result.screen == nullptr) {
        error =
            "Cannot open display " + result.shownName + " (" + ConnectProblem(XCB_CONN_CLOSED_INVALID_SCREEN) + ").";
        return result;
    }
    result.connection = std::move(connection);
    return result;
}

}  // namespace tolm::x11
