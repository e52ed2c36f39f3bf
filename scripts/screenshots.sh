#!/usr/bin/env bash
# Makes the screenshots in docs/: builds the screenshot tool and runs it under Xvfb, where it
# fills both tabs with sample data and saves each tab.
#   screenshot-{pid,analysis,serial}.png           the window at the form's size (analysis: the
#                                                  PID tab with the 响应分析 dock after two runs)
#   screenshot-pid-compare.png                     two runs compared, values under the cursor
#   screenshot-{pid,pid-compare,analysis,serial}.en.png   the same with the English interface
#   screenshot-1366x768-{pid,analysis,serial}.png  the whole screen of a common laptop, with a
#                                                  window manager and a 40-pixel taskbar strip
#   screenshot-1920x1080-150-{...}.png             a 1920 x 1080 screen at 150 % scale, 48-pixel strip
#   screenshot-{1366x768,1920x1080-150}-{...}.en.png      both screens in English
# Usage: scripts/screenshots.sh [build folder]   (installs xvfb, xauth, openbox and a CJK font if missing)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}

missing=()
for p in xvfb xauth openbox fonts-wqy-microhei; do
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
tool="$build/tools/screenshot/tavrino_screenshot"

# Software rendering keeps the pictures the same on every machine; a fixed font, locale and
# 96 dpi (as a desktop sets it; Xvfb has none of its own) keep the texts the same too.
common=(env QT_QPA_PLATFORM=xcb QT_FONT_DPI=96 LANG=C.UTF-8 FONTCONFIG_FILE="$root/scripts/screenshots-fonts.conf")

xvfb-run -a -s "-screen 0 1400x1000x24 -dpi 96" "${common[@]}" "$tool" "$root/docs"
xvfb-run -a -s "-screen 0 1400x1000x24 -dpi 96" "${common[@]}" TAVRINO_LANG=en "$tool" "$root/docs"

# At screen size: openbox maximizes and keeps the taskbar's strip free, as a desktop does.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
screen() { # name, width x height, taskbar pixels, scale, interface language
    sed "s/TASKBAR/$3/" "$root/scripts/screenshots-openbox.xml" >"$work/rc-$1.xml"
    xvfb-run -a -s "-screen 0 $2x24 -dpi 96" bash -c '
        openbox --config-file "$1" & wm=$!
        sleep 1
        shift
        "$@"
        status=$?
        kill $wm
        exit $status' _ "$work/rc-$1.xml" "${common[@]}" QT_SCALE_FACTOR="$4" TAVRINO_LANG="${5:-}" "$tool" "$root/docs" "$1"
}
screen 1366x768 1366x768 40 1
screen 1920x1080-150 1920x1080 48 1.5
# English texts are longer: every one must fit its widget on both screens too.
screen 1366x768 1366x768 40 1 en
screen 1920x1080-150 1920x1080 48 1.5 en
