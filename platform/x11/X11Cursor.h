#pragma once

#include <xcb/xcb.h>

#include <string>

#include "platform/ScreenSource.h"

namespace tolm::x11 {

// Negotiates the XFIXES version, which the server needs before any other XFIXES request. Empty when cursor
// images can be read, otherwise why not.
std::string InitCursorQueries(xcb_connection_t* connection);

// Reads the current cursor image and position. False with `error` when the server does not answer.
bool ReadCursorImage(xcb_connection_t* connection, CursorImage& cursor, std::string& error);

}  // namespace tolm::x11
