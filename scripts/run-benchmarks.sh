#!/usr/bin/env bash
# Builds and runs every benchmark and keeps their output.
#   scripts/run-benchmarks.sh [build-dir]       full run, about 13 minutes
#   QUICK=1 scripts/run-benchmarks.sh           short steps, about 2 minutes, for a smoke test
#   DISPLAY_PATH=offscreen|xvfb|both            where the display-path benchmarks run
#                                               (default both); the others run offscreen
# Offscreen, nothing is drawn to a window system. Under Xvfb (started here with xvfb-run, a
# 1920 x 1080 screen at 96 dpi) the window is a real X11 window: the chart's renderer choice,
# the window system's threads and the blit to the X server count in the whole-process CPU.
# Each benchmark prints its own figures next to the naive way's, measured in the same run.
set -euo pipefail

cd "$(dirname "$0")/.."
build=${1:-build}
jobs=${JOBS:-$(nproc)}

cmake -S . -B "$build" -DTAVRINO_BENCHMARKS=ON >/dev/null
mkdir -p "$build/benchmarks"
if ! cmake --build "$build" -j "$jobs" --target bench_receiver bench_ingest bench_redraw \
    bench_terminal bench_csv bench_startup bench_stepanalyzer bench_history \
    bench_chartinteraction bench_process tavrino >"$build/benchmarks/build.log" 2>&1; then
    cat "$build/benchmarks/build.log"
    exit 1
fi

display_path=${DISPLAY_PATH:-both}
case "$display_path" in
offscreen | xvfb | both) ;;
*)
    echo "DISPLAY_PATH must be offscreen, xvfb or both" >&2
    exit 2
    ;;
esac
if [ "$display_path" != offscreen ] && ! command -v xvfb-run >/dev/null; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: xvfb xauth"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends xvfb xauth
fi

if [ "${QUICK:-0}" = 1 ]; then
    ingest=(--seconds 2 --naive-seconds 2 --max-rate 486400)
    terminal=(--seconds 5 --burst-seconds 2 --naive-seconds 3)
    redraw=(--ticks 20 --naive-ticks 4 --long 200000)
    receiver=(--frames 400000 --repeats 3 --naive-seconds 0.5)
    csv=(--runs 3 --naive-ms 500 --long-rows 100000)
    startup=(--runs 5)
    step=(--samples 2000000 --repeats 3)
    history=(--history 1000000 --record-samples 200000 --capture-mib 8)
    interaction=(--steps 20 --seconds 1 --long 1000000)
    process=(--seconds 6 --warmup 2 --idle-seconds 1)
else
    ingest=()
    terminal=()
    redraw=()
    receiver=()
    csv=()
    startup=()
    step=()
    history=()
    interaction=()
    process=()
fi

results="$build/benchmarks/results-$(date +%Y%m%d-%H%M%S).txt"
{
    echo "commit $(git rev-parse --short HEAD 2>/dev/null || echo unknown), $(date -u '+%Y-%m-%d %H:%M UTC')"
    echo "$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
} | tee "$results"

# run PLATFORM NAME [options]: PLATFORM is offscreen or xvfb.
run() {
    local platform=$1 name=$2
    shift 2
    echo | tee -a "$results"
    echo "== $name, $platform (uptime:$(uptime | sed 's/.*load average/ load average/'))" |
        tee -a "$results"
    if [ "$platform" = xvfb ]; then
        # Xvfb has no Xft.dpi of its own; a desktop sets it, and QT_FONT_DPI stands in for it.
        xvfb-run -a -s "-screen 0 1920x1080x24 -dpi 96" \
            env QT_QPA_PLATFORM=xcb QT_FONT_DPI=96 "$build/benchmarks/$name" "$@" 2>&1 |
            tee -a "$results"
    else
        QT_QPA_PLATFORM=offscreen "$build/benchmarks/$name" "$@" 2>&1 | tee -a "$results"
    fi
}

# run_both NAME [options]: on the platforms DISPLAY_PATH names.
run_both() {
    [ "$display_path" = xvfb ] || run offscreen "$@"
    [ "$display_path" = offscreen ] || run xvfb "$@"
}

run offscreen bench_receiver "${receiver[@]}"
run_both bench_redraw "${redraw[@]}"
run offscreen bench_csv "${csv[@]}"
run offscreen bench_startup "${startup[@]}"
run offscreen bench_stepanalyzer "${step[@]}"
run offscreen bench_history "${history[@]}"
run_both bench_chartinteraction "${interaction[@]}"
run offscreen bench_terminal "${terminal[@]}"
run_both bench_ingest "${ingest[@]}"
run_both bench_process "${process[@]}"

echo | tee -a "$results"
echo "headline figures:" | tee -a "$results"
grep -E '^(== |FIGURE )' "$results" || true
echo
echo "results kept in $results"
