#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The Debian package made from this build holds what an install puts in place, under /usr,
# declares what Kelvo needs at run time, and passes the checks a Debian user's tools make:
# lintian without errors or warnings, the AppStream and desktop entry validators, the manual
# pages without a groff warning, and kelvo --help and --version without a display.
set -euo pipefail
CPACK=$1
BUILD=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in lintian appstreamcli desktop-file-validate groff man; do
    command -v "$tool" >/dev/null || fail "$tool is missing: scripts/install-deps.sh installs it"
done

"$CPACK" --config "$BUILD/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 ||
    fail "cpack: $(cat "$work/cpack.log")"
debs=("$work"/kelvo_*.deb)
if [ "${#debs[@]}" -ne 1 ] || [ ! -f "${debs[0]}" ]; then fail "no single kelvo_*.deb: $(ls "$work")"; fi
deb=${debs[0]}

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kelvo ] || fail "Package"
[ "$(field Section)" = mail ] || fail "Section"
[ -n "$(field Description)" ] || fail "Description"
version=$(field Version)
depends=$(field Depends)
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libqt6keychain1 libqt6networkauth6 libsecret-1-0 \
    libvmime1 libsystemd0 qt6-qpa-plugins; do
    grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
grep -q 'fonts-noto-cjk' <<<"$(field Recommends)" || fail "Recommends lacks fonts-noto-cjk"

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's#^\./#/#' | grep -v '/$' | sort >"$work/files.txt"
id=org.example.kelvo
printf '%s\n' /usr/bin/kelvo "/usr/share/applications/$id.desktop" "/usr/share/metainfo/$id.metainfo.xml" \
    /usr/share/icons/hicolor/scalable/apps/kelvo.svg /usr/share/kelvo/kelvo.html \
    /usr/lib/systemd/user/kelvo.service /usr/share/man/man1/kelvo.1.gz /usr/share/man/ja/man1/kelvo.1.gz \
    /usr/share/doc/kelvo/copyright /usr/share/doc/kelvo/changelog.gz |
    sort >"$work/expected.txt"
diff "$work/expected.txt" "$work/files.txt" >&2 || fail "package contents"

# lintian as a Debian user runs it: no error, no warning.
lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 || fail "lintian: $(cat "$work/lintian.log")"

dpkg-deb -x "$deb" "$work/root"
root=$work/root
# The packaged program carries no symbol table: the package stays small.
if readelf -S "$root/usr/bin/kelvo" | grep -q '\.symtab'; then fail "not stripped"; fi
grep -qx 'ExecStart=/usr/bin/kelvo --service /S' "$root/usr/lib/systemd/user/kelvo.service" ||
    fail "the packaged unit does not run /usr/bin/kelvo"

# The copyright in Debian's machine-readable form, under Kelvo's licence; the native package's
# changelog names this version.
copyright=$root/usr/share/doc/kelvo/copyright
head -1 "$copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "copyright is not machine-readable"
grep -qx 'License: GPL-3+' "$copyright" || fail "copyright does not name GPL-3+"
zcat "$root/usr/share/doc/kelvo/changelog.gz" | head -1 | grep -q "^kelvo ($version) " ||
    fail "changelog does not begin with $version"

# The software centres' description and the menu entry it launches.
metainfo=$root/usr/share/metainfo/$id.metainfo.xml
appstreamcli validate --pedantic --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
    fail "appstreamcli: $(cat "$work/appstream.log")"
grep -q "<id>$id</id>" "$metainfo" || fail "metainfo id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || fail "launchable"
grep -q "<release version=\"$version\"" "$metainfo" || fail "no release $version in the metainfo"
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop entry"

# The manual pages: groff finds nothing to warn about, and man shows them as lintian reads them.
for language in en ja; do
    page=$root/usr/share/man/man1/kelvo.1.gz
    [ "$language" = en ] || page=$root/usr/share/man/$language/man1/kelvo.1.gz
    zcat "$page" >"$work/page.1"
    groff -ww -z -man -Tutf8 "$work/page.1" 2>"$work/groff.log" || fail "groff, $language page"
    [ ! -s "$work/groff.log" ] || fail "groff warns about the $language page: $(cat "$work/groff.log")"
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 "$page" >"$work/man.out" \
        2>"$work/man.log" || fail "man -l, $language page"
    col -b <"$work/man.out" >"$work/$language.txt"
    [ ! -s "$work/man.log" ] || fail "man warns about the $language page: $(cat "$work/man.log")"
    grep -q -- 'kelvo --sign-in' "$work/$language.txt" || fail "the $language page lacks the synopsis"
done
grep -q 'kelvo - unattended mail forwarder for a mobile phone' "$work/en.txt" || fail "English NAME"
grep -q 'kelvo - 携帯電話へのメール自動転送' "$work/ja.txt" || fail "Japanese NAME"

# --help and --version with no display, in English and in Japanese; an unknown option is an
# error with the usage. None of them starts the program or writes anywhere.
home=$work/home
mkdir -p "$home" "$work/cwd"
find "$root" | sort >"$work/before.txt"
run() { # run LANG ARGS... ; sets out, err, status
    status=0
    (cd "$work/cwd" && env -i PATH="$PATH" HOME="$home" LANG="$1" "$root/usr/bin/kelvo" "${@:2}") \
        >"$work/out" 2>"$work/err" || status=$?
    out=$(cat "$work/out")
    err=$(cat "$work/err")
}
run C.UTF-8 --help
[ "$status" = 0 ] && [ -z "$err" ] && grep -q '^Usage:' <<<"$out" || fail "--help: $status $out $err"
run ja_JP.UTF-8 --help
[ "$status" = 0 ] && grep -q '^使い方：' <<<"$out" || fail "--help in Japanese: $status $out $err"
run C.UTF-8 --version
[ "$status" = 0 ] && [ "$(head -1 <<<"$out")" = "Kelvo $version" ] && grep -q GPL-3.0-or-later <<<"$out" ||
    fail "--version: $status $out $err"
run ja_JP.UTF-8 /S --bogus
[ "$status" = 2 ] && [ -z "$out" ] && grep -q '「--bogus」' <<<"$err" && grep -q '^使い方：' <<<"$err" ||
    fail "unknown option: $status $out $err"
written=$(find "$home" "$work/cwd" -mindepth 1)
[ -z "$written" ] || fail "kelvo wrote files: $written"
find "$root" | sort | diff "$work/before.txt" - >&2 || fail "kelvo wrote into its installation"
echo "Debian package: ok"
