#!/usr/bin/env bash
# The build gives each layer only the headers of the layers it links, but the system's X11, XCB, FFmpeg,
# PulseAudio and sd-bus headers lie in the compiler's default paths where every layer finds them: no core folder
# and no platform interface may include them (nor Qt's, which the build already keeps out).
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
hits=$(grep -rn -E '#\s*include\s*[<"](X11/|xcb/|libav|libsw|pulse/|systemd/|Q[A-Za-z]*[/>"]|qt)' \
    "$root/imaging" "$root/effects" "$root/capture" "$root/selection" "$root/audio" \
    "$root"/platform/*.h "$root"/platform/*.cpp "$root/platform/posix" 2>/dev/null)
if [ -n "$hits" ]; then
    echo "platform headers in the core:"
    echo "$hits"
    exit 1
fi
echo "core is free of platform headers"
