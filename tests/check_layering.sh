#!/usr/bin/env bash
# The build gives each layer only the headers of the layers it links, but the system's X11, XCB, FFmpeg,
# PulseAudio, sd-bus and Win32 headers lie in the compiler's default paths where every layer finds them: no core
# folder and no platform interface may include them (nor Qt's, which the build already keeps out). The POSIX
# and Win32 sides of the interfaces keep to their own systems.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
win32='windows\.h|win[a-z0-9]*\.h|mmsystem\.h|timeapi\.h|shlobj\.h|knownfolders\.h|vfw\.h|io\.h'
hits=$(grep -rn -E "#\s*include\s*[<\"](X11/|xcb/|libav|libsw|pulse/|systemd/|Q[A-Za-z]*[/>\"]|qt|$win32)" \
    "$root/imaging" "$root/effects" "$root/capture" "$root/selection" "$root/audio" \
    "$root"/platform/*.h "$root"/platform/*.cpp "$root/platform/posix" 2>/dev/null)
if [ -n "$hits" ]; then
    echo "platform headers in the core:"
    echo "$hits"
    exit 1
fi
hits=$(grep -rn -E '#\s*include\s*<(unistd\.h|pthread\.h|fcntl\.h|dirent\.h|pwd\.h|sys/)' "$root/platform/win32" \
    2>/dev/null)
if [ -n "$hits" ]; then
    echo "POSIX headers in platform/win32:"
    echo "$hits"
    exit 1
fi
echo "core is free of platform headers"
