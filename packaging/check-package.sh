#!/usr/bin/env bash
# Checks the Debian package of a configured build folder: control fields, file list, the
# layout the menus rely on, a stripped program, and the desktop entry, AppStream metainfo and
# manual page as the desktop's own validators see them.
#
#   packaging/check-package.sh [--make] BUILD_DIR [OUTPUT_DIR]
#
# --make runs CPack in BUILD_DIR first, writing the package to OUTPUT_DIR (default
# BUILD_DIR, where `make package` leaves it). Exits 77 (skipped) when a tool is missing.
set -euo pipefail

make=0
if [ "${1:-}" = --make ]; then
    make=1
    shift
fi
build=$(cd "${1:?usage: check-package.sh [--make] BUILD_DIR [OUTPUT_DIR]}" && pwd)
out=${2:-$build}

# What the package must hold whatever the build: the font alternative, because the Chinese
# labels need it and Debian's default fonts have no Han glyphs; Qt's catalogues, for its
# dialogs in Chinese.
font_depends="fonts-wqy-microhei | fonts-noto-cjk"
# The Qt the build was made with (TAVRINO_QT), Qt 5 unless it says 6.
qt=$(sed -n 's/^TAVRINO_QT:[A-Z]*=//p' "$build/CMakeCache.txt")
[ "$qt" = 6 ] && other=5 || { qt=5; other=6; }
[ "$qt" = 6 ] && qt_translations=qt6-translations-l10n || qt_translations=qttranslations5-l10n
homepage="https://tavrino.example.org/"

tools=(dpkg dpkg-deb readelf gzip desktop-file-validate appstreamcli)
[ $make -eq 1 ] && tools+=(cpack dpkg-shlibdeps file)
for tool in "${tools[@]}"; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (scripts/install-deps.sh --package installs it)"
        exit 77
    fi
done

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
[ -n "$version" ] || { echo "FAIL: no package version in $build/CPackConfig.cmake"; exit 1; }
arch=$(dpkg --print-architecture)
deb="$out/tavrino_${version}_${arch}.deb"

if [ $make -eq 1 ]; then
    # Only what an earlier run made: OUTPUT_DIR may be the build folder itself.
    rm -rf "$deb" "$out/_CPack_Packages"
    mkdir -p "$out"
    (cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) ||
        { cat "$out/cpack.log"; echo "FAIL: cpack"; exit 1; }
fi
[ -f "$deb" ] || { echo "FAIL: no package $deb"; ls "$out"; exit 1; }
echo "Checking $deb"

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tavrino ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), expected $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ "$(field Homepage)" = "$homepage" ] || fail "Homepage: $(field Homepage)"
for name in Section Priority Maintainer Description; do
    [ -n "$(field "$name")" ] || fail "no $name field"
done
[ "$(field Description | wc -l)" -gt 1 ] || fail "Description has no long text"
depends=$(field Depends)
# One alternative group of the comma-separated list must be the fonts, exactly.
for group in "$font_depends" "$qt_translations"; do
    grep -qxF "$group" <<<"$(sed 's/, */\n/g' <<<"$depends")" ||
        fail "Depends lacks '$group': $depends"
done
# Found by dpkg-shlibdeps from the program's libraries: those of the Qt it was built with, and
# none of the other's.
for library in libc6 libqt${qt}widgets${qt} libqt${qt}charts${qt} libqt${qt}serialport${qt}; do
    grep -qE "(^|, |\| )$library( |,|$)" <<<"$depends" || fail "Depends lacks $library: $depends"
done
grep -qE "libqt${other}" <<<"$depends" && fail "Depends names Qt ${other}: $depends"

# File list: everything under /usr, owned by root, in the layout path.ini relies on.
listing=$(dpkg-deb -c "$deb")
entries=$(awk '{ path = $6; for (i = 7; i <= NF; i++) path = path " " $i; print path }' <<<"$listing")
has() { grep -qxF "./$1" <<<"$entries" || fail "not in the package: /$1"; }
for path in \
    usr/lib/tavrino/tavrino \
    usr/lib/tavrino/path.ini \
    "usr/lib/tavrino/docs -> ../../share/tavrino/docs" \
    "usr/bin/tavrino -> ../lib/tavrino/tavrino" \
    usr/share/tavrino/docs/protocol.html \
    usr/share/tavrino/docs/tutorial.html \
    usr/share/tavrino/docs/protocol.en.html \
    usr/share/tavrino/docs/tutorial.en.html \
    "usr/share/doc/tavrino/html -> ../../tavrino/docs" \
    usr/share/doc/tavrino/copyright \
    usr/share/applications/tavrino.desktop \
    usr/share/metainfo/org.example.tavrino.metainfo.xml \
    usr/share/icons/hicolor/64x64/apps/tavrino.png \
    usr/share/icons/hicolor/scalable/apps/tavrino.svg \
    usr/share/man/man1/tavrino.1.gz \
    usr/bin/tavrino-step \
    usr/share/man/man1/tavrino-step.1.gz; do
    has "$path"
done
outside=$(grep -v '^\./usr/' <<<"$entries" | grep -vxF './' || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"
owners=$(awk '{ print $2 }' <<<"$listing" | sort -u)
[ "$owners" = root/root ] || fail "owners other than root: $owners"

# The unpacked tree: what the program and the desktop will read.
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
appdir="$root/usr/lib/tavrino"

mapfile -t ini <"$appdir/path.ini"
[ "${#ini[@]}" -ge 3 ] || fail "path.ini has ${#ini[@]} lines"
[ "${ini[0]:-}" = "$homepage" ] || fail "path.ini line 1: ${ini[0]:-}"
[ "${ini[1]:-}" = file:///usr/share/tavrino/docs/tutorial.html ] || fail "path.ini line 2: ${ini[1]:-}"
[ -f "$root${ini[1]#file://}" ] || fail "tutorial missing: ${ini[1]:-}"
# Line 3 is joined to the program's folder, through the docs link.
[ -f "$appdir${ini[2]:-}" ] || fail "protocol document missing: /usr/lib/tavrino${ini[2]:-}"
[ "$(readlink -f "$root/usr/bin/tavrino")" = "$(readlink -f "$appdir/tavrino")" ] ||
    fail "/usr/bin/tavrino does not lead to /usr/lib/tavrino/tavrino"

# The English catalogue is a resource inside the program; rcc stores its name in UTF-16.
LC_ALL=C grep -qaP '\x00t\x00a\x00v\x00r\x00i\x00n\x00o\x00_\x00e\x00n\x00\.\x00q\x00m' "$appdir/tavrino" ||
    fail "the program holds no English catalogue (tavrino_en.qm)"

for program in "$appdir/tavrino" "$root/usr/bin/tavrino-step"; do
    sections=$(readelf -SW "$program")
    grep -qE '\.symtab|\.debug_' <<<"$sections" && fail "$program is not stripped"
done
# The step test runs where there is no display, and says so in its help.
"$root/usr/bin/tavrino-step" --help 2>&1 | grep -qF -- '--max-settling-ms' ||
    fail "tavrino-step --help does not list --max-settling-ms"

desktop="$root/usr/share/applications/tavrino.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
grep -qx 'Exec=/usr/bin/tavrino' "$desktop" || fail "desktop entry: $(grep ^Exec= "$desktop")"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no icon named $icon"

metainfo="$root/usr/share/metainfo/org.example.tavrino.metainfo.xml"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metainfo"
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
[ -f "$root/usr/share/applications/$launchable" ] || fail "metainfo launches $launchable, not in the package"
release=$(sed -n 's:.*<release version="\([^"]*\)".*:\1:p' "$metainfo" | head -n 1)
[ "$release" = "$version" ] || fail "newest release in the metainfo is $release, the package is $version"

# The copyright file in Debian's machine-readable format: the program's licence and Qt's.
copyright="$root/usr/share/doc/tavrino/copyright"
head -n 1 "$copyright" | grep -qF 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "copyright file is not in the Debian format"
grep -qx 'License: GPL-3+' "$copyright" || fail "copyright file names no GPL-3+ licence"
grep -q 'Files: \*' "$copyright" || fail "copyright file has no paragraph for all files"
for named in 'Qt Charts' 'LGPL' /usr/share/common-licenses/GPL-3; do
    grep -qF "$named" "$copyright" || fail "copyright file does not name $named"
done

for page in tavrino tavrino-step; do
    man="$root/usr/share/man/man1/$page.1.gz"
    gzip -t "$man" || fail "manual page $page.1 is no gzip file"
    zcat "$man" | grep -qF '.BI \-\-port' || fail "manual page $page.1 does not describe --port"
    if command -v man >/dev/null; then
        # The check Debian's lintian makes: groff must render the page without a warning.
        warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$man" 2>&1 >/dev/null)
        [ -z "$warnings" ] || fail "manual page $page.1 warnings: $warnings"
    fi
done

if [ $failures -ne 0 ]; then
    echo "$failures checks failed"
    exit 1
fi
echo "Package $(basename "$deb") is complete"
