#!/usr/bin/env bash
# tolm-record on a real compositor. The X11 source refuses the desktop's rootless Xwayland, whose root holds no
# picture. A still desktop, whose portal sends no picture until something changes, is recorded black until then
# and from its first picture on. Through the ScreenCast portal the moving scene shown through Xwayland is recorded
# for 5 s and read back: the length is right, the picture is the scene (not black), its frame counter never goes
# back, and the pointer the compositor paints is in it. Needs the desktop of scripts/common.sh's tolm_start_wayland
# (run as its user); without it the test is skipped (exit 77), or fails when TOLM_REQUIRE_WAYLAND=1.
# Usage: record-portal.sh BIN_DIR   (the folder of tolm-record, tolm-scene, tolm-scene-counter and tolm-wl-pointer)
set -euo pipefail

BIN=${1:?usage: record-portal.sh BIN_DIR}
DURATION=5

skip() {
    if [ "${TOLM_REQUIRE_WAYLAND:-0}" = 1 ]; then
        echo "record-portal: $1 but TOLM_REQUIRE_WAYLAND=1" >&2
        exit 1
    fi
    echo "record-portal: skipped: $1" >&2
    exit 77
}
fail() {
    echo "record-portal: $*" >&2
    exit 1
}

[ -n "${WAYLAND_DISPLAY:-}" ] || skip "WAYLAND_DISPLAY is not set"
[ -n "${DISPLAY:-}" ] || skip "DISPLAY (Xwayland, for the scene) is not set"
gdbus call --session --dest org.freedesktop.portal.Desktop --object-path /org/freedesktop/portal/desktop \
    --method org.freedesktop.DBus.Properties.Get org.freedesktop.portal.ScreenCast version >/dev/null 2>&1 ||
    skip "no ScreenCast portal answers on the session bus"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/record-portal.XXXXXX")
export XDG_CACHE_HOME=$WORK/cache
SCENE_PID=""
POINTER_PID=""
STILL_PID=""
cleanup() {
    for pid in $STILL_PID $POINTER_PID $SCENE_PID; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$WORK"
}
trap cleanup EXIT

# wait_for_line PID FILE PATTERN: until FILE has a line starting with PATTERN, PID ends or 10 s pass.
wait_for_line() {
    for _ in $(seq 100); do
        grep -q "^$3" "$2" 2>/dev/null && return 0
        kill -0 "$1" 2>/dev/null || break
        sleep 0.1
    done
    grep -q "^$3" "$2" 2>/dev/null
}

status=0
"$BIN/tolm-record" --backend x11 --snapshot "$WORK/x11.bmp" >"$WORK/x11.log" 2>&1 || status=$?
if [ "$status" -ne 1 ] || [ -e "$WORK/x11.bmp" ] || ! grep -q "ScreenCast portal" "$WORK/x11.log"; then
    fail "the X11 source did not refuse the rootless Xwayland $DISPLAY (exit $status): $(cat "$WORK/x11.log")"
fi

# Nothing moves: a first sharing takes what changed before it, the next one gets no picture. The scene shown
# meanwhile is its first picture.
"$BIN/tolm-record" --backend portal --full-screen --duration 1 --codec MJPG "$WORK/before.avi" </dev/null \
    >"$WORK/before.log" 2>&1 || true
STILL=$WORK/still.avi
"$BIN/tolm-record" --backend portal --full-screen --duration 6 --codec MJPG "$STILL" </dev/null \
    >"$WORK/still.log" 2>&1 &
STILL_PID=$!
wait_for_line "$STILL_PID" "$WORK/still.log" "tolm-record: The desktop has sent no picture" ||
    fail "no word of a missing first picture: $(tail -n 5 "$WORK/still.log")"

"$BIN/tolm-scene" --fps 50 >"$WORK/scene.out" 2>"$WORK/scene.err" &
SCENE_PID=$!
wait_for_line "$SCENE_PID" "$WORK/scene.out" ready || fail "the scene did not start: $(cat "$WORK/scene.err")"

status=0
wait "$STILL_PID" || status=$?
STILL_PID=""
[ "$status" -eq 3 ] && [ -s "$STILL" ] ||
    fail "the still desktop's recording exited with $status: $(tail -n 5 "$WORK/still.log")"
read -r screen_w screen_h < <(xdpyinfo | awk '/dimensions:/ { split($2, s, "x"); print s[1], s[2]; exit }')
# scene_codes FILE: the scene's counter in each frame of FILE, -1 where it cannot be read.
scene_codes() {
    local size
    size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 "$1" | tr , ' ')
    ffmpeg -v error -i "$1" -f rawvideo -pix_fmt rgb24 - | "$BIN/tolm-scene-counter" $size "$screen_w" "$screen_h"
}
scene_codes "$STILL" >"$WORK/still-codes.txt"
awk 'NR == 1 && $1 >= 0 { print "the first frame shows the scene, which was not there yet"; exit 1 }
     END { if ($1 < 0) { print "the last frame does not show the scene"; exit 1 } }' "$WORK/still-codes.txt" >&2 ||
    fail "the still desktop's recording does not begin black and end with the scene"

# Headless sway has no pointer of its own; a virtual one on the scene's plain green bar, where only a painted
# cursor can put dark pixels.
POINTER_X=560
POINTER_Y=60
"$BIN/tolm-wl-pointer" "$POINTER_X" "$POINTER_Y" >"$WORK/pointer.out" 2>"$WORK/pointer.err" &
POINTER_PID=$!
wait_for_line "$POINTER_PID" "$WORK/pointer.out" "pointer at" || fail "no virtual pointer: $(cat "$WORK/pointer.err")"

OUT=$WORK/portal.avi
status=0
timeout 120 "$BIN/tolm-record" --backend portal --full-screen --duration "$DURATION" --codec MJPG "$OUT" \
    </dev/null >"$WORK/record.log" 2>&1 || status=$?
if [ "$status" -ne 0 ] || [ ! -s "$OUT" ]; then
    tail -n 20 "$WORK/record.log" >&2
    fail "tolm-record exited with $status"
fi

IFS=, read -r width height rate frames < <(ffprobe -v error -select_streams v:0 \
    -show_entries stream=width,height,r_frame_rate,nb_frames -of csv=p=0 "$OUT")
# The length within two frames of what was asked.
awk -v n="$frames" -v r="$rate" -v d="$DURATION" 'BEGIN {
    split(r, f, "/"); fps = f[1] / f[2]; len = n / fps
    if (len < d - 2 / fps || len > d + 2 / fps) { printf "%d frames at %s fps last %.3f s, not %d s\n", n, r, len, d; exit 1 }
}' >&2 || fail "wrong length"

# The scene fills the X screen, whose top left the file shows.
scene_codes "$OUT" >"$WORK/codes.txt"
# Nearly every frame shows the scene (a black or foreign picture has no counter), its counter never goes back
# and it moves.
awk '
$1 < 0 { unread++; next }
{ if (seen && $1 < last) { printf "the counter goes back from %d to %d at frame %d\n", last, $1, NR; bad = 1 }
  if (!seen || $1 != last) distinct++; last = $1; seen = 1 }
END {
    if (NR == 0) { print "no frame could be decoded"; exit 1 }
    if (unread > NR / 10) { printf "%d of %d frames do not show the scene (black or torn)\n", unread, NR; bad = 1 }
    if (distinct < 10) { printf "only %d distinct frames of the scene in %d\n", distinct, NR; bad = 1 }
    printf "%d frames, %d distinct, %d without the scene\n", NR, distinct, unread
    exit bad
}' "$WORK/codes.txt" >&2 || fail "the recording does not show the moving scene"
# The cursor's dark outline round the pointer's place, 1 s in.
dark=$(ffmpeg -v error -ss 1 -i "$OUT" -frames:v 1 \
    -vf "crop=24:24:$((POINTER_X - 2)):$((POINTER_Y - 2)),format=gray" -f rawvideo - |
    od -An -v -tu1 -w1 | awk '$1 < 16 { n++ } END { print n + 0 }')
[ "$dark" -ge 10 ] || fail "no cursor at $POINTER_X,$POINTER_Y: $dark dark pixels there"
echo "record-portal: ok"
