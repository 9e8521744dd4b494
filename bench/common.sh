# Shared by the recording benchmarks: the moving scene, the time a recorder took and the frames a file holds.
# shellcheck shell=bash

SCENE_PID=""
# bench_start_scene FOLDER CMD...: starts the scene (CMD: tolm-scene and its options, behind whatever runs it) with
# its output in FOLDER/scene.out and FOLDER/scene.err, and waits until it has drawn; false when it did not start.
bench_start_scene() {
    local folder=$1
    shift
    "$@" >"$folder/scene.out" 2>"$folder/scene.err" &
    SCENE_PID=$!
    for _ in $(seq 100); do
        grep -q '^ready' "$folder/scene.out" 2>/dev/null && return 0
        kill -0 "$SCENE_PID" 2>/dev/null || break
        sleep 0.1
    done
    grep -q '^ready' "$folder/scene.out" 2>/dev/null
}

bench_stop_scene() {
    if [ -n "$SCENE_PID" ]; then
        kill "$SCENE_PID" 2>/dev/null || true
        wait "$SCENE_PID" 2>/dev/null || true
        SCENE_PID=""
    fi
}

# CPU seconds (user + system) and wall seconds that /usr/bin/time wrote on its last line.
read_time() { tail -n 1 "$1" | awk '{ printf "%.2f %.2f\n", $1 + $2, $3 }'; }

# bench_distinct_frames FILE COUNTER SCENE_WxH: how many different frames of the scene FILE shows, by the scene's
# counter (COUNTER is tolm-scene-counter); repeated frames and variable rates count for nothing.
bench_distinct_frames() {
    local size
    size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=s=x:p=0 "$1")
    # Every decoded frame as it is in the file; "fatal" hides the warnings about frames sharing a timestamp.
    ffmpeg -v fatal -i "$1" -fps_mode passthrough -f rawvideo -pix_fmt rgb24 - |
        "$2" "${size%x*}" "${size#*x}" "${3%x*}" "${3#*x}" | awk '$1 >= 0 && !seen[$1]++ { n++ } END { print n + 0 }'
}
