#pragma once

#include <xcb/xcb.h>

#include <cstddef>
#include <string>

namespace tolm::x11 {

// How the root window's pixels arrive in a ZPixmap image, and whether we can read them as B,G,R,X bytes.
struct RootFormat {
    bool supported = false;
    std::string problem;  // why not, for the user, when unsupported
    int depth = 0;
    int bitsPerPixel = 0;
    int scanlinePad = 32;

    // Bytes of one image row of `width` pixels as the server lays it out.
    std::size_t RowBytes(int width) const;
};

// Accepts 24- and 32-bit deep TrueColor roots with 32-bit pixels, 8-bit channels in R,G,B order and
// least-significant byte first: those are B,G,R,X in memory, our own pixel layout.
RootFormat DescribeRootFormat(const xcb_setup_t* setup, const xcb_screen_t* screen);

}  // namespace tolm::x11
