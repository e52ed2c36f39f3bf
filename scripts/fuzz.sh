#!/usr/bin/env bash
# Fuzzes the parsers under ASan and UBSan with libFuzzer (clang), two targets at a time.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#
# SECONDS per target (default 600); targets default to all of them. Each run starts from a
# copy of the seed corpus in fuzz/corpus/<target>/ and leaves its grown corpus, log and any
# crashing input under $FUZZ_BUILD/fuzz-runs/ (FUZZ_BUILD defaults to build-fuzz; CMAKE_FLAGS
# such as -DTAVRINO_QT=6 go to its configuration). A finding makes the script fail; copy a
# minimised crash input into the seed corpus once it is fixed.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(framereceiver csvimport hexinput portname recordingimport capturereader)
fi
build=${FUZZ_BUILD:-build-fuzz}
parallel=${FUZZ_PARALLEL:-2}

# shellcheck disable=SC2086
CC=clang CXX=clang++ cmake -S . -B "$build" -DTAVRINO_FUZZ=ON ${CMAKE_FLAGS:-} >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}"

runs=$build/fuzz-runs
mkdir -p "$runs"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

run_one() {
    local target=$1
    local corpus=$runs/corpus-$target
    rm -rf "$corpus"
    mkdir -p "$corpus"
    cp fuzz/corpus/"$target"/* "$corpus"/
    "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$runs/$target-" "$corpus" >"$runs/$target.log" 2>&1
}

declare -A pids
failed=0
# FUZZ_SKIP_RUNS=1 only reports on the corpora a previous run left.
[ "${FUZZ_SKIP_RUNS:-0}" = 1 ] && targets_to_run=() || targets_to_run=("${targets[@]}")
for target in "${targets_to_run[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do
        wait -n || true
    done
    echo "fuzzing $target for $seconds s"
    run_one "$target" &
    pids[$target]=$!
done
for target in "${targets_to_run[@]}"; do
    if ! wait "${pids[$target]}"; then
        echo "FINDING in $target: see $runs/$target.log" >&2
        failed=1
    fi
done

# One line per target: executions, edge coverage and features at the end of the run.
printf '%-14s %12s %8s %8s %8s %10s\n' target executions exec/s cov ft corpus
for target in "${targets[@]}"; do
    log=$runs/$target.log
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    last=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -1)
    cov=$(sed -n 's/.*cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.*ft: \([0-9]*\).*/\1/p' <<<"$last")
    corp=$(sed -n 's/.*corp: \([0-9]*\).*/\1/p' <<<"$last")
    printf '%-14s %12s %8s %8s %8s %10s\n' "$target" "${execs:-?}" "${rate:-?}" "${cov:-?}" \
        "${ft:-?}" "${corp:-?}"
done

# Line coverage of the code under test that the grown corpora reach: the replay driver built
# with clang's source-based coverage, the code under test compiled straight in.
if command -v llvm-profdata >/dev/null && command -v llvm-cov >/dev/null; then
    declare -A sources=(
        [framereceiver]="pidlink/framereceiver.cpp pidlink/samplelinesplitter.cpp pidlink/pidframe.cpp"
        [csvimport]="datafiles/csvcodec.cpp datafiles/csvdecoder.cpp"
        [hexinput]="assistant/hexinput.cpp"
        [portname]="serial/portname.cpp"
        [recordingimport]="datafiles/samplefilereader.cpp datafiles/recordingcodec.cpp"
        [capturereader]="datafiles/capturereader.cpp"
    )
    # What the code under test calls besides, compiled in but not reported; the Qt the build
    # folder was configured with.
    support="base/qtcompat.cpp"
    declare -A extra=(
        [recordingimport]="base/safefile.cpp base/replacementfile.cpp datafiles/csvdecoder.cpp datafiles/csvcodec.cpp"
    )
    qt=$(sed -n 's/^TAVRINO_QT:[A-Z]*=//p' "$build/CMakeCache.txt")
    cov=$runs/coverage
    mkdir -p "$cov"
    echo
    echo "line coverage of the code under test by the grown corpora:"
    for target in "${targets[@]}"; do
        # shellcheck disable=SC2086
        clang++ -std=c++17 -fPIC -O1 -fprofile-instr-generate -fcoverage-mapping -I. \
            $(pkg-config --cflags "Qt${qt:-5}Core") fuzz/fuzz_"$target".cpp fuzz/replay_main.cpp \
            ${sources[$target]} $support ${extra[$target]:-} $(pkg-config --libs "Qt${qt:-5}Core") -o "$cov/replay_$target"
        LLVM_PROFILE_FILE=$cov/$target.profraw "$cov/replay_$target" "$runs/corpus-$target" \
            >/dev/null
        llvm-profdata merge -sparse "$cov/$target.profraw" -o "$cov/$target.profdata"
        # shellcheck disable=SC2086
        llvm-cov report "$cov/replay_$target" -instr-profile="$cov/$target.profdata" \
            ${sources[$target]} | awk -v t="$target" \
            'NR > 2 && $1 != "TOTAL" && NF > 9 { sub(".*/", "", $1); printf "%-14s %-24s lines %s, branches %s\n", t, $1, $(NF-3), $NF }'
    done
fi
exit $failed
