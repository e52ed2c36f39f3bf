#!/usr/bin/env bash
# The long fault runs; the normal test suite has short versions of each.
#
#   scripts/faults.sh
#
# 1. tst_faults with TAVRINO_FAULTS_LONG=1: a board flooding garbage for 60 s in each of four
#    modes (binary and string, with and without auto-scroll), a 200 MB CSV file of real rows
#    refused with a message, an adapter pulled out mid-run and a new one opened, an export
#    onto a 64 KiB tmpfs (mounted when permitted, i.e. as root) and under a 64 KiB file size
#    limit.
# 2. The window against the simulator with the adapter pulled out every 15 s for 2 minutes.
# 3. The window against a simulator sending nothing but garbage for 60 s: memory and lateness.
# 4. Two hours' worth of frames (144 million, 20,000 a second) at full pty speed with no run
#    active, then with the run paused: resident memory must stay flat.
# 5. The serial assistant showing a 2 MB/s stream in hexadecimal for 60 s: no stall over
#    200 ms, the board never held back, the receive box within its caps.
# 4 and 5 pass only once the window keeps samples bounded outside a run and lays out the
# receive box through ReceiveTail; until then they show faults 1 and 4 of docs/reliability.md.
# Figures go to $BUILD/reliability/ (BUILD defaults to build).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD:-build}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j2 --target tst_faults tavrino_soak tavrino-boardsim >/dev/null
mkdir -p "$build/reliability"
export QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false'

status=0
echo "== long fault tests"
TAVRINO_FAULTS_LONG=1 "$build/tests/tst_faults" | grep -v '^QWARN' || status=1
echo "== adapter pulled out every 15 s"
"$build/tests/tavrino_soak" --seconds 120 --unplug-every 15 \
    --json "$build/reliability/unplug.json" | grep -E '^(ok|FAIL|SOAK)' || status=1
echo "== garbage for 60 s"
"$build/tests/tavrino_soak" --seconds 60 --garbage --auto-scroll \
    --json "$build/reliability/garbage.json" | grep -E '^(ok|FAIL|SOAK)' || status=1
for run in no-run paused; do
    echo "== two hours' worth of frames at full speed, $run"
    "$build/tests/tavrino_soak" --$run --rate max --error-rate 0 --frames 144000000 \
        --seconds 3600 --json "$build/reliability/$run.json" | grep -E '^(ok|FAIL|SOAK)' || status=1
done
echo "== hexadecimal flood at 2 MB/s for 60 s"
"$build/tests/tavrino_soak" --hex-flood 2000000 --seconds 60 --max-lateness-ms 200 \
    --min-rate-fraction 0.95 --json "$build/reliability/hexflood.json" |
    grep -E '^(ok|FAIL|SOAK)' || status=1
exit $status
