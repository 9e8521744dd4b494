#!/usr/bin/env bash
# The core must build without any platform library: no X11, XCB, FFmpeg, PulseAudio or Qt header may be
# included from its folders.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
hits=$(grep -rn -E '#\s*include\s*[<"](X11/|xcb/|libav|libsw|pulse/|Q[A-Za-z]*[/>"]|qt)' \
    "$root/imaging" "$root/effects" "$root/capture" "$root/selection" "$root/audio" 2>/dev/null)
if [ -n "$hits" ]; then
    echo "platform headers in the core:"
    echo "$hits"
    exit 1
fi
echo "core is free of platform headers"
