#!/usr/bin/env bash
# tolm-record through the ScreenCast portal on a real compositor: the moving scene shown through Xwayland is
# recorded for 5 s and read back: the length is right, the picture is the scene (not black) and its frame counter
# never goes back. Needs the desktop of scripts/common.sh's tolm_start_wayland (run as its user); without it the
# test is skipped (exit 77), or fails when TOLM_REQUIRE_WAYLAND=1.
# Usage: record-portal.sh BIN_DIR   (the folder of tolm-record, tolm-scene and tolm-scene-counter)
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
if ! "$BIN/tolm-record" --help 2>&1 | grep -q -- '--backend'; then
    echo "record-portal: skipped: this tolm-record has no --backend" >&2
    exit 77
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/record-portal.XXXXXX")
export XDG_CACHE_HOME=$WORK/cache
SCENE_PID=""
cleanup() {
    if [ -n "$SCENE_PID" ]; then
        kill "$SCENE_PID" 2>/dev/null || true
        wait "$SCENE_PID" 2>/dev/null || true
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT

"$BIN/tolm-scene" --fps 50 >"$WORK/scene.out" 2>"$WORK/scene.err" &
SCENE_PID=$!
for _ in $(seq 100); do
    grep -q '^ready' "$WORK/scene.out" 2>/dev/null && break
    kill -0 "$SCENE_PID" 2>/dev/null || break
    sleep 0.1
done
grep -q '^ready' "$WORK/scene.out" || fail "the scene did not start: $(cat "$WORK/scene.err")"

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
read -r screen_w screen_h < <(xdpyinfo | awk '/dimensions:/ { split($2, s, "x"); print s[1], s[2]; exit }')
ffmpeg -v error -i "$OUT" -f rawvideo -pix_fmt rgb24 - |
    "$BIN/tolm-scene-counter" "$width" "$height" "$screen_w" "$screen_h" >"$WORK/codes.txt"
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
echo "record-portal: ok"
