#!/usr/bin/env bash
# The private Wine machine of a build tree: its prefix, its X server and its
# persistent wineserver. Sourced by wine-run.sh; run directly as
#   wine-env.sh up BUILD_DIR     prepare prefix, start Xvfb (if no DISPLAY) and wineserver -p
#   wine-env.sh down BUILD_DIR   stop the wineserver and our Xvfb
set -u

vl_env() {
    local build; build=$(cd "$1" && pwd)
    export WINEPREFIX="$build/wineprefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="winemenubuilder.exe=d;winealsa.drv=d;winepulse.drv=d;mshtml=d;mscoree=d"
    export HOME="$build/winehome"
    export VL_STATE="$build/wine-state"
    mkdir -p "$HOME" "$VL_STATE"
    if [ -z "${DISPLAY:-}" ] && [ -f "$VL_STATE/display" ]; then
        export DISPLAY; DISPLAY=$(cat "$VL_STATE/display")
    fi
}

vl_prefix() {
    [ -f "$WINEPREFIX/.velmora-ready" ] && return 0
    rm -rf "$WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wineserver -w </dev/null >/dev/null 2>&1
    touch "$WINEPREFIX/.velmora-ready"
}

vl_xvfb() {
    [ -n "${DISPLAY:-}" ] && return 0
    local n
    for n in $(seq 91 140); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        setsid Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
        echo $! > "$VL_STATE/xvfb.pid"
        for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
        echo ":$n" > "$VL_STATE/display"
        export DISPLAY=":$n"
        return 0
    done
    echo "wine-env: no free X display" >&2
    return 1
}

vl_up() {
    vl_env "$1"
    vl_xvfb || return 1
    vl_prefix
    # The server must not hold the caller's output open (CTest waits for it).
    wineserver -p </dev/null >/dev/null 2>&1
    # Start the first program so later ones find the server warm.
    timeout 60 wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

vl_down() {
    vl_env "$1"
    wineserver -k 2>/dev/null || true
    if [ -f "$VL_STATE/xvfb.pid" ]; then
        kill "$(cat "$VL_STATE/xvfb.pid")" 2>/dev/null || true
        rm -f "$VL_STATE/xvfb.pid" "$VL_STATE/display"
    fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    case "${1:-}" in
        up) vl_up "${2:?build dir}" ;;
        down) vl_down "${2:?build dir}" ;;
        *) echo "usage: wine-env.sh up|down BUILD_DIR" >&2; exit 2 ;;
    esac
fi
