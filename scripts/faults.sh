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
exit $status
