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
    local dir=$1
    shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S "$TOLM_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
    fi
    cmake --build "$dir" -j "$(nproc)"
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
