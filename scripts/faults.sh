#!/usr/bin/env bash
# The long fault runs; `make test` has a short run of the window losing its line
# (tst_pidtab unplugDuringRun) and `make test-slow` short versions of these.
#
#   scripts/faults.sh
#
# 1. The window against the simulator with the adapter pulled out every 15 s for 2 minutes.
# 2. The window against a simulator sending nothing but garbage for 60 s: memory and lateness.
# Figures go to $BUILD/reliability/ (BUILD defaults to build).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD:-build}
cmake -S . -B "$build" -DBUILD_TESTING=ON >/dev/null
cmake --build "$build" -j2 --target tavrino_soak tavrino-boardsim >/dev/null
mkdir -p "$build/reliability"
export QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false'

status=0
echo "== adapter pulled out every 15 s"
"$build/tests/tavrino_soak" --seconds 120 --unplug-every 15 \
    --json "$build/reliability/unplug.json" | grep -E '^(ok|FAIL|SOAK)' || status=1
echo "== garbage for 60 s"
"$build/tests/tavrino_soak" --seconds 60 --garbage --auto-scroll \
    --json "$build/reliability/garbage.json" | grep -E '^(ok|FAIL|SOAK)' || status=1
exit $status
