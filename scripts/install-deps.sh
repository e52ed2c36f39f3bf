#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, run and test the program; with --package
# also those that make and check the Debian package, with --qt6 Qt 6 beside Qt 5 (for
# TAVRINO_QT=6). Skips the package manager entirely when everything is already there.
set -euo pipefail

packages=(
    build-essential cmake
    qtbase5-dev qtbase5-dev-tools libqt5charts5-dev libqt5serialport5-dev
    # lrelease and lupdate for the translations; Qt's own Chinese texts for its dialogs.
    qttools5-dev qttools5-dev-tools qttranslations5-l10n

    fonts-wqy-microhei
)
for option in "$@"; do
    case "$option" in
    --package)
        # dpkg-shlibdeps and file for CPack's dependency scan; the validators and man for the check.
        packages+=(dpkg-dev file desktop-file-utils appstream man-db)
        ;;
    --qt6)
        # Qt 6 Charts needs the OpenGL module; qt6-tools-dev and qt6-l10n-tools bring Linguist.
        packages+=(qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-charts-dev
            qt6-serialport-dev qt6-tools-dev qt6-l10n-tools qt6-translations-l10n)
        ;;
    *)
        echo "usage: $0 [--package] [--qt6]" >&2
        exit 2
        ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
