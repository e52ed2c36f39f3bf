#!/usr/bin/env bash
# Makes docs/screenshot-pid.png and docs/screenshot-serial.png: builds the screenshot tool and
# runs it under Xvfb, where it fills both tabs with sample data and saves each tab.
# Usage: scripts/screenshots.sh [build folder]   (installs xvfb, xauth and a CJK font if missing)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}

missing=()
for p in xvfb xauth fonts-wqy-microhei; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" --target tavrino_screenshot -j2

# Software rendering keeps the pictures the same on every machine; a fixed font and locale
# keep the texts the same too.
xvfb-run -a -s "-screen 0 1400x1000x24" \
    env QT_QPA_PLATFORM=xcb QT_XCB_GL_INTEGRATION=none LANG=C.UTF-8 \
    FONTCONFIG_FILE="$root/scripts/screenshots-fonts.conf" \
    "$build/tools/screenshot/tavrino_screenshot" "$root/docs"
