# Shared by scripts/run and scripts/test: package installation, the build and a private X server.
# shellcheck shell=bash

TOLM_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

tolm_log() { printf '[tolm] %s\n' "$*" >&2; }

# Installs the packages of scripts/packages.txt (or of the list named) that are missing (apt-get, as root or
# through sudo).
tolm_install_packages() {
    local wanted missing=()
    mapfile -t wanted < <(grep -v -E '^\s*(#|$)' "${1:-$TOLM_ROOT/scripts/packages.txt}")
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
            _tolm_play_test_tone
            tolm_log "private PulseAudio at $PULSE_SERVER"
            return 0
        fi
        sleep 0.1
    done
    tolm_log "PulseAudio did not start: $(tail -3 "$TOLM_PULSE_DIR/log" 2>/dev/null)"
    return 1
}

# _tolm_play_test_tone [RUNNER...]: plays the 440 Hz tone into the sound server's null sink and makes the sink's
# monitor the default source; RUNNER runs the clients (as the server's user).
_tolm_play_test_tone() {
    # The tone ends with the server (the player's connection goes, then the generator's pipe).
    (ffmpeg -loglevel quiet -f lavfi -i sine=frequency=440:sample_rate=44100 -f s16le -ac 2 - |
        "$@" pacat --latency-msec=20 -d nullsink --format=s16le --rate=44100 --channels=2 --raw) \
        >/dev/null 2>&1 &
    "$@" pactl set-default-source nullsink.monitor >/dev/null 2>&1 || true
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

# A Wayland desktop of our own for the portal tests: a private session bus, sway on a headless output with
# Xwayland, PipeWire with its session manager and its PulseAudio server, and the ScreenCast portal that hands out
# the output without asking. `tolm_start_wayland [WxH]` (default 1280x720) exports TOLM_WL_USER, TOLM_WL_RUNTIME,
# TOLM_WL_BUS, TOLM_WL_DISPLAY, TOLM_WL_XDISPLAY, TOLM_WL_PULSE and TOLM_WL_SIZE; `tolm_as_wayland_user CMD...`
# runs CMD in that desktop (TOLM_WAYLAND_OUTPUT_SIZE tells tests the output's size); tolm_stop_wayland ends it
# all. sway refuses to run as root, so root runs the desktop as an unprivileged user of its own (the one
# TOLM_WL_USER_NAME names, default tolmwl, created when missing).
TOLM_WL_PIDS=()
tolm_start_wayland() {
    local size=${1:-1280x720}
    TOLM_WL_USER=$(id -un)
    if [ "$(id -u)" -eq 0 ]; then
        TOLM_WL_USER=${TOLM_WL_USER_NAME:-tolmwl}
        id -u "$TOLM_WL_USER" >/dev/null 2>&1 || useradd -m -s /bin/sh "$TOLM_WL_USER" ||
            id -u "$TOLM_WL_USER" >/dev/null 2>&1 || {
            tolm_log "cannot create the user $TOLM_WL_USER"
            return 1
        }
    fi
    TOLM_WL_RUNTIME=$(mktemp -d /tmp/tolm-wayland.XXXXXX)
    chmod 700 "$TOLM_WL_RUNTIME"
    [ "$(id -u)" -eq 0 ] && chown "$TOLM_WL_USER:" "$TOLM_WL_RUNTIME"
    TOLM_WL_BUS="unix:path=$TOLM_WL_RUNTIME/bus"
    TOLM_WL_PULSE="unix:$TOLM_WL_RUNTIME/pulse/native"
    TOLM_WL_DISPLAY=""
    TOLM_WL_XDISPLAY=""
    TOLM_WL_SIZE=$size
    export TOLM_WL_USER TOLM_WL_RUNTIME TOLM_WL_BUS TOLM_WL_PULSE TOLM_WL_DISPLAY TOLM_WL_XDISPLAY TOLM_WL_SIZE
    local dir=$TOLM_WL_RUNTIME

    _tolm_wl_spawn dbus dbus-daemon --session --address="$TOLM_WL_BUS" --nofork --nopidfile
    _tolm_wl_wait "the session bus" test -S "$dir/bus" || return 1

    # The scene is an override-redirect window the size of the X screen; other X windows fill the output too.
    cat >"$dir/sway.cfg" <<CFG
output HEADLESS-1 resolution $size position 0 0
xwayland enable
for_window [shell="xwayland"] fullscreen enable
exec printenv DISPLAY >"$dir/xdisplay.tmp" && mv "$dir/xdisplay.tmp" "$dir/xdisplay"
CFG
    WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman _tolm_wl_spawn sway sway -c "$dir/sway.cfg"
    _tolm_wl_wait "sway" _tolm_wl_find_socket || return 1
    # Xwayland starts with its first client; sway names its display for the programs it starts.
    _tolm_wl_wait "sway's X display" test -s "$dir/xdisplay" || return 1
    TOLM_WL_XDISPLAY=$(cat "$dir/xdisplay")

    _tolm_wl_spawn pipewire pipewire
    _tolm_wl_wait "pipewire" test -S "$dir/pipewire-0" || return 1
    _tolm_wl_spawn wireplumber wireplumber
    _tolm_wl_spawn pipewire-pulse pipewire-pulse
    _tolm_wl_wait "pipewire-pulse" tolm_as_wayland_user pactl info || return 1
    _tolm_wl_test_sources || return 1

    mkdir -p "$dir/portal"
    printf '[screencast]\nchooser_type=none\noutput_name=HEADLESS-1\n' >"$dir/portal/config"
    [ "$(id -u)" -eq 0 ] && chown -R "$TOLM_WL_USER:" "$dir/portal"
    # xdg-desktop-portal-wlr 0.7 casts nothing without a GPU unless the tests' shim (tests/support/wayland) is
    # preloaded into it; TOLM_WL_PORTAL_PRELOAD names the built shim, by default the one in build/.
    local shim=${TOLM_WL_PORTAL_PRELOAD:-$TOLM_ROOT/build/bin/tolm_xdpw_shm_formats.so} preload=()
    [ -f "$shim" ] && preload=(LD_PRELOAD="$shim")
    # Each waits for its name before the next asks for it: a call to a name nobody holds yet would have the bus
    # start a second copy, without our config.
    _tolm_wl_spawn portal-wlr "${preload[@]}" /usr/libexec/xdg-desktop-portal-wlr -c "$dir/portal/config"
    _tolm_wl_wait "xdg-desktop-portal-wlr" _tolm_wl_has_name org.freedesktop.impl.portal.desktop.wlr || return 1
    _tolm_wl_spawn portal /usr/libexec/xdg-desktop-portal
    _tolm_wl_wait "xdg-desktop-portal" _tolm_wl_has_name org.freedesktop.portal.Desktop || return 1
    _tolm_wl_wait "the ScreenCast portal" tolm_as_wayland_user gdbus call --session \
        --dest org.freedesktop.portal.Desktop --object-path /org/freedesktop/portal/desktop \
        --method org.freedesktop.DBus.Properties.Get org.freedesktop.portal.ScreenCast version || return 1
    tolm_log "private Wayland desktop $TOLM_WL_DISPLAY (X $TOLM_WL_XDISPLAY, $size) as $TOLM_WL_USER in $dir"
}

tolm_stop_wayland() {
    local pid i
    # Newest first: the portal before the bus it answers on, the servers before the compositor (which ends its
    # Xwayland). What the bus started on demand leaves with the bus.
    for ((i = ${#TOLM_WL_PIDS[@]} - 1; i >= 0; i--)); do
        kill "${TOLM_WL_PIDS[i]}" 2>/dev/null || true
    done
    for pid in "${TOLM_WL_PIDS[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    TOLM_WL_PIDS=()
    [ -n "${TOLM_WL_RUNTIME:-}" ] && rm -rf "$TOLM_WL_RUNTIME"
    TOLM_WL_RUNTIME=""
}

# Runs CMD as the desktop's user, with the caller's environment pointed at the desktop's servers; its cache and
# state (the portal's restore token) live and go with the desktop, so no run sees an earlier one's grant.
tolm_as_wayland_user() {
    tolm_wayland_user_prefix
    "${TOLM_WL_AS[@]}" "$@"
}

# Sets the array TOLM_WL_AS to the words that run a command as tolm_as_wayland_user does, for a caller that
# starts one in the background and needs its process id ($! of "${TOLM_WL_AS[@]}" CMD & is CMD's own).
tolm_wayland_user_prefix() {
    TOLM_WL_AS=(env XDG_RUNTIME_DIR="$TOLM_WL_RUNTIME" DBUS_SESSION_BUS_ADDRESS="$TOLM_WL_BUS"
        WAYLAND_DISPLAY="$TOLM_WL_DISPLAY" DISPLAY="$TOLM_WL_XDISPLAY" PULSE_SERVER="$TOLM_WL_PULSE"
        PULSE_RUNTIME_PATH="$TOLM_WL_RUNTIME/pulse" XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=sway
        XDG_CACHE_HOME="$TOLM_WL_RUNTIME/cache" XDG_STATE_HOME="$TOLM_WL_RUNTIME/state"
        TOLM_WAYLAND_OUTPUT_SIZE="$TOLM_WL_SIZE")
    if [ "$(id -u)" -eq 0 ]; then
        local home
        home=$(getent passwd "$TOLM_WL_USER" | cut -d: -f6)
        TOLM_WL_AS=(setpriv --reuid="$TOLM_WL_USER" --regid="$TOLM_WL_USER" --init-groups "${TOLM_WL_AS[@]}"
            HOME="$home" USER="$TOLM_WL_USER" LOGNAME="$TOLM_WL_USER")
    fi
}

# _tolm_wl_spawn NAME CMD...: starts a server of the desktop with a clean environment, its output in NAME.log.
_tolm_wl_spawn() {
    local name=$1
    shift
    # Configuration, state and grants (the permission store) of the desktop's own, whatever the user's home holds.
    local vars=(PATH="$PATH" LANG=C.UTF-8 XDG_RUNTIME_DIR="$TOLM_WL_RUNTIME" DBUS_SESSION_BUS_ADDRESS="$TOLM_WL_BUS"
        XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=sway XDG_CONFIG_HOME="$TOLM_WL_RUNTIME/config"
        XDG_STATE_HOME="$TOLM_WL_RUNTIME/state" XDG_DATA_HOME="$TOLM_WL_RUNTIME/data")
    [ -n "$TOLM_WL_DISPLAY" ] && vars+=(WAYLAND_DISPLAY="$TOLM_WL_DISPLAY")
    local wlr
    for wlr in WLR_BACKENDS WLR_LIBINPUT_NO_DEVICES WLR_RENDERER; do
        [ -n "${!wlr:-}" ] && vars+=("$wlr=${!wlr}")
    done
    local as=()
    if [ "$(id -u)" -eq 0 ]; then
        local home
        home=$(getent passwd "$TOLM_WL_USER" | cut -d: -f6)
        as=(setpriv --reuid="$TOLM_WL_USER" --regid="$TOLM_WL_USER" --init-groups)
        vars+=(HOME="$home" USER="$TOLM_WL_USER" LOGNAME="$TOLM_WL_USER")
    else
        vars+=(HOME="$HOME" USER="$(id -un)")
    fi
    (cd "$TOLM_WL_RUNTIME" && exec "${as[@]}" env -i "${vars[@]}" "$@" >"$TOLM_WL_RUNTIME/$name.log" 2>&1 </dev/null) &
    TOLM_WL_PIDS+=($!)
}

# The sources the sound tests expect, as tolm_start_pulse has them: "sine440" (a mono 440 Hz sine, read from a pipe
# since this server has no generator of its own) and "nullsink", with the tone playing into it.
_tolm_wl_test_sources() {
    local fifo=$TOLM_WL_RUNTIME/sine440.fifo
    if ! tolm_as_wayland_user mkfifo "$fifo" ||
        ! tolm_as_wayland_user pactl load-module module-null-sink sink_name=nullsink \
            "sink_properties='device.description=\"Null Output\"'" >/dev/null ||
        ! tolm_as_wayland_user pactl load-module module-pipe-source source_name=sine440 file="$fifo" format=s16le \
            rate=44100 channels=1 "source_properties='device.description=\"Sine source at 440 Hz\"'" >/dev/null; then
        tolm_log "pipewire-pulse refused the test sources: $(tail -n 5 "$TOLM_WL_RUNTIME/pipewire-pulse.log")"
        return 1
    fi
    # Ends when the server closes the pipe.
    tolm_as_wayland_user ffmpeg -loglevel quiet -f lavfi -i sine=frequency=440:sample_rate=44100 -f s16le -ac 1 \
        -y "$fifo" </dev/null >/dev/null 2>&1 &
    _tolm_play_test_tone tolm_as_wayland_user
}

# Sets TOLM_WL_DISPLAY once sway's socket is there.
_tolm_wl_find_socket() {
    local socket
    for socket in "$TOLM_WL_RUNTIME"/wayland-*; do
        [ -S "$socket" ] || continue
        TOLM_WL_DISPLAY=$(basename "$socket")
        return 0
    done
    return 1
}

# Whether someone holds NAME on the desktop's bus (asking does not start anyone).
_tolm_wl_has_name() {
    tolm_as_wayland_user gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner "$1" | grep -q true
}

# _tolm_wl_wait WHAT CHECK...: up to 20 s for CHECK to succeed; otherwise says so with the logs' tails.
_tolm_wl_wait() {
    local what=$1 i log
    shift
    for i in $(seq 200); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    tolm_log "$what did not come up"
    for log in "$TOLM_WL_RUNTIME"/*.log; do
        [ -f "$log" ] && tolm_log "$(basename "$log"): $(tail -n 5 "$log")"
    done
    return 1
}
