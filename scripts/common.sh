# Shared by scripts/run and scripts/test: package installation, the build and a private X server.
# shellcheck shell=bash

TOLM_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

tolm_log() { printf '[tolm] %s\n' "$*" >&2; }

# Installs the packages of scripts/packages.txt that are missing (apt-get, as root or through sudo).
tolm_install_packages() {
    local wanted missing=()
    mapfile -t wanted < <(grep -v -E '^\s*(#|$)' "$TOLM_ROOT/scripts/packages.txt")
    for p in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    tolm_log "installing ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# tolm_build DIR [cmake options...]: configures (once) and builds everything into DIR.
tolm_build() {
    tolm_build_targets "$1" "all" "${@:2}"
}

# tolm_build_targets DIR "TARGET..." [cmake options...]: the same for the named targets only.
tolm_build_targets() {
    local dir=$1 targets=$2
    shift 2
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S "$TOLM_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
    fi
    # shellcheck disable=SC2086 # one word per target
    cmake --build "$dir" -j "$(nproc)" --target $targets
}

# Starts a private Xvfb on a free display number and exports DISPLAY; tolm_stop_xvfb ends it.
TOLM_XVFB_PID=""
tolm_start_xvfb() {
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
    TOLM_XVFB_PID=$!
    local number=""
    read -r -t 20 number <"$fifo" || true
    rm -f "$fifo"
    if [ -z "$number" ]; then
        tolm_log "Xvfb did not start"
        return 1
    fi
    export DISPLAY=":$number"
    tolm_log "private X server on $DISPLAY"
}

tolm_stop_xvfb() {
    if [ -n "$TOLM_XVFB_PID" ]; then
        kill "$TOLM_XVFB_PID" 2>/dev/null || true
        wait "$TOLM_XVFB_PID" 2>/dev/null || true
        TOLM_XVFB_PID=""
    fi
}

# Starts a private PulseAudio server in its own runtime folder and exports what clients need to reach it
# (XDG_RUNTIME_DIR, PULSE_SERVER); tolm_stop_pulse ends it. It has a 440 Hz sine source, which hands out its
# sound in 2-second bursts, and a null sink to which a low-latency client plays a 440 Hz tone; the null sink's
# monitor is the default source, so recordings get sound at the pace of a real sound card.
TOLM_PULSE_PID=""
TOLM_PULSE_DIR=""
tolm_start_pulse() {
    TOLM_PULSE_DIR=$(mktemp -d /tmp/tolm-pulse.XXXXXX)
    chmod 700 "$TOLM_PULSE_DIR"
    export XDG_RUNTIME_DIR="$TOLM_PULSE_DIR"
    export PULSE_RUNTIME_PATH="$TOLM_PULSE_DIR/pulse"
    export PULSE_SERVER="unix:$TOLM_PULSE_DIR/pulse/native"
    pulseaudio --daemonize=no --exit-idle-time=-1 --disallow-exit -n --use-pid-file=no \
        --load="module-native-protocol-unix auth-anonymous=1 socket=$TOLM_PULSE_DIR/pulse/native" \
        --load="module-null-sink sink_name=nullsink" \
        --load="module-sine-source frequency=440 source_name=sine440" >"$TOLM_PULSE_DIR/log" 2>&1 &
    TOLM_PULSE_PID=$!
    local i
    for i in $(seq 1 100); do
        if pactl info >/dev/null 2>&1; then
            # The tone ends with the server (the player's connection goes, then the generator's pipe).
            (ffmpeg -loglevel quiet -f lavfi -i sine=frequency=440:sample_rate=44100 -f s16le -ac 2 - |
                pacat --latency-msec=20 -d nullsink --format=s16le --rate=44100 --channels=2 --raw) \
                >/dev/null 2>&1 &
            pactl set-default-source nullsink.monitor >/dev/null 2>&1 || true
            tolm_log "private PulseAudio at $PULSE_SERVER"
            return 0
        fi
        sleep 0.1
    done
    tolm_log "PulseAudio did not start: $(tail -3 "$TOLM_PULSE_DIR/log" 2>/dev/null)"
    return 1
}

tolm_stop_pulse() {
    if [ -n "$TOLM_PULSE_PID" ]; then
        kill "$TOLM_PULSE_PID" 2>/dev/null || true
        wait "$TOLM_PULSE_PID" 2>/dev/null || true
        TOLM_PULSE_PID=""
    fi
    [ -n "$TOLM_PULSE_DIR" ] && rm -rf "$TOLM_PULSE_DIR"
    TOLM_PULSE_DIR=""
}
