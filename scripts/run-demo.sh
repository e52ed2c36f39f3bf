#!/usr/bin/env bash
# Starts the simulated controller board on a pseudo-terminal and the program attached to it.
# Usage: scripts/run-demo.sh [BUILD_DIR] [simulator options...]
# The board's log (every command it receives) goes to this terminal; closing the window ends
# both.
set -euo pipefail

build="${1:-build}"
[ $# -gt 0 ] && shift
sim="$build/tavrino-boardsim"
app="$build/tavrino"
for exe in "$sim" "$app"; do
    if [ ! -x "$exe" ]; then
        echo "run-demo: $exe is missing; build first (make build)" >&2
        exit 1
    fi
done

coproc BOARD { exec "$sim" --verbose "$@"; }
board_pid=$BOARD_PID
cleanup() {
    kill -TERM "$board_pid" 2>/dev/null || true
    wait "$board_pid" 2>/dev/null || true
}
trap cleanup EXIT

# The board prints the device to open as its first line.
port=""
if ! read -r -t 15 port <&"${BOARD[0]}" || [ -z "$port" ]; then
    echo "run-demo: the simulated board did not start" >&2
    exit 1
fi

cat <<MSG
Simulated board on $port (channels 1-2: motors, 3-4: heaters).
In the PID tab: 打开串口, then 读 next to P, then 开始; write a new P or I with 写 and
watch the curves change. Close the window to stop.
MSG

"$app" --port "$port" &
app_pid=$!
# Ctrl-C or a kill of this script takes the window down too (the exit trap ends the board).
trap 'kill -TERM "$app_pid" 2>/dev/null || true' INT TERM
status=0
wait "$app_pid" || status=$?
while kill -0 "$app_pid" 2>/dev/null; do
    wait "$app_pid" || status=$?
done
exit "$status"
