#!/usr/bin/env bash
# One entry point for a fresh Debian machine (as root):
#   velmora.sh run    install what is missing, build, run the programs under Wine
#   velmora.sh test   install what is missing, build, run the whole test suite
#   velmora.sh bench  install what is missing, build, print the benchmark figures
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build="${VL_BUILD:-$here/build}"

need=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64)
command -v cmake >/dev/null || need+=(cmake)
command -v make >/dev/null || need+=(make)
command -v wine >/dev/null || need+=(wine wine64)
command -v Xvfb >/dev/null || need+=(xvfb)
command -v python3 >/dev/null || need+=(python3)
# The run takes a screenshot of the Wine machine's screen when it has no display.
[ "${1:-run}" = run ] && ! command -v import >/dev/null && need+=(imagemagick)
[ -f /usr/src/googletest/googletest/CMakeLists.txt ] || need+=(googletest)
if [ ${#need[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${need[@]}" >/dev/null
fi

cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build" -j"$(nproc)"

case "${1:-run}" in
    test)
        cd "$build"
        ctest --output-on-failure
        ;;
    bench)
        bash "$here/cmake/wine-env.sh" up "$build"
        trap 'bash "$here/cmake/wine-env.sh" down "$build"' EXIT
        "$build/wine-run.sh" "$build/bench/vlbench.exe"
        # The monitor's figures take about 11 minutes, five of them idle.
        VL_TIMEOUT=1800 "$build/wine-run.sh" "$build/bench/vlmonbench.exe"
        # The explorer: its Startup Programs page with 4,096 entries and its start.
        VL_TIMEOUT=900 "$build/wine-run.sh" "$build/bench/vlexbench.exe"
        ;;
    run)
        bash "$here/cmake/wine-env.sh" up "$build"
        trap 'bash "$here/cmake/wine-env.sh" down "$build"' EXIT
        "$build/wine-run.sh" "$build/reports/VelmoraScan.exe" --format=tsv startup
        # The monitor stays resident until it exits (its menu, "-Q") or Ctrl+C.
        VL_TIMEOUT=0 "$build/wine-run.sh" "$build/monitor/Velmora.exe" &
        monitor=$!
        # The explorer opens on its Startup Programs page once the monitor is
        # up (given the time to make its window, "-START" finds it and starts
        # no second one); it ends when its sheet is closed.
        sleep 3
        VL_TIMEOUT=0 "$build/wine-run.sh" "$build/monitor/VelmoraEx.exe" -START &
        if [ -f "$build/wine-state/xvfb.pid" ] && command -v import >/dev/null; then
            sleep 8
            import -display "$(cat "$build/wine-state/display")" -window root "$build/screen.png" &&
                echo "screenshot of the Wine machine's screen: $build/screen.png"
        fi
        wait "$monitor"
        ;;
    *)
        echo "usage: velmora.sh run|test|bench" >&2
        exit 2
        ;;
esac
