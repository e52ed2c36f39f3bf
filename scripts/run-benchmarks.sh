#!/usr/bin/env bash
# Builds and runs every benchmark on the offscreen platform and keeps their output.
#   scripts/run-benchmarks.sh [build-dir]       full run, about 7 minutes
#   QUICK=1 scripts/run-benchmarks.sh           short steps, about 1 minute, for a smoke test
# Each benchmark prints its own figures next to the naive way's, measured in the same run.
set -euo pipefail

cd "$(dirname "$0")/.."
build=${1:-build}
jobs=${JOBS:-$(nproc)}

cmake -S . -B "$build" -DTAVRINO_BENCHMARKS=ON >/dev/null
mkdir -p "$build/benchmarks"
if ! cmake --build "$build" -j "$jobs" --target bench_receiver bench_ingest bench_redraw \
    bench_terminal bench_csv bench_startup bench_stepanalyzer >"$build/benchmarks/build.log" 2>&1; then
    cat "$build/benchmarks/build.log"
    exit 1
fi

export QT_QPA_PLATFORM=offscreen
if [ "${QUICK:-0}" = 1 ]; then
    ingest=(--seconds 2 --naive-seconds 2 --max-rate 486400)
    terminal=(--seconds 5 --burst-seconds 2 --naive-seconds 3)
    redraw=(--ticks 20 --naive-ticks 4)
    receiver=(--frames 400000 --repeats 3 --naive-seconds 0.5)
    csv=(--runs 3 --naive-ms 500 --long-rows 100000)
    startup=(--runs 5)
    step=(--samples 2000000 --repeats 3)
else
    ingest=()
    terminal=()
    redraw=()
    receiver=()
    csv=()
    startup=()
    step=()
fi

results="$build/benchmarks/results-$(date +%Y%m%d-%H%M%S).txt"
{
    echo "commit $(git rev-parse --short HEAD 2>/dev/null || echo unknown), $(date -u '+%Y-%m-%d %H:%M UTC')"
    echo "$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
} | tee "$results"

run() {
    local name=$1
    shift
    echo | tee -a "$results"
    echo "== $name (uptime:$(uptime | sed 's/.*load average/ load average/'))" | tee -a "$results"
    "$build/benchmarks/$name" "$@" 2>&1 | tee -a "$results"
}

run bench_receiver "${receiver[@]}"
run bench_redraw "${redraw[@]}"
run bench_csv "${csv[@]}"
run bench_startup "${startup[@]}"
run bench_stepanalyzer "${step[@]}"
run bench_terminal "${terminal[@]}"
run bench_ingest "${ingest[@]}"

echo
echo "results kept in $results"
