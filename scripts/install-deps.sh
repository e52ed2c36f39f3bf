#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, run and test the program; with --package
# also those that make and check the Debian package. Skips the package manager entirely when
# everything is already there.
set -euo pipefail

packages=(
    build-essential cmake
    qtbase5-dev qtbase5-dev-tools libqt5charts5-dev libqt5serialport5-dev
    # lrelease and lupdate for the translations; Qt's own Chinese texts for its dialogs.
    qttools5-dev qttools5-dev-tools qttranslations5-l10n

    fonts-wqy-microhei
)
if [ "${1:-}" = --package ]; then
    # dpkg-shlibdeps and file for CPack's dependency scan; the validators and man for the check.
    packages+=(dpkg-dev file desktop-file-utils appstream man-db)
fi

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
