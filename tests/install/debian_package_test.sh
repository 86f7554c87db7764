#!/usr/bin/env bash
# The Debian package made from this build holds what an install puts in place, under /usr,
# and declares what Kelvo needs at run time.
set -euo pipefail
CPACK=$1
BUILD=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$CPACK" --config "$BUILD/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 ||
    fail "cpack: $(cat "$work/cpack.log")"
debs=("$work"/kelvo_*.deb)
if [ "${#debs[@]}" -ne 1 ] || [ ! -f "${debs[0]}" ]; then fail "no single kelvo_*.deb: $(ls "$work")"; fi
deb=${debs[0]}

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kelvo ] || fail "Package"
[ "$(field Section)" = mail ] || fail "Section"
[ -n "$(field Description)" ] || fail "Description"
depends=$(field Depends)
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libqt6keychain1 libqt6networkauth6 libsecret-1-0 \
    libvmime1 libsystemd0 qt6-qpa-plugins; do
    grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
grep -q 'fonts-noto-cjk' <<<"$(field Recommends)" || fail "Recommends lacks fonts-noto-cjk"

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's#^\./#/#' | grep -v '/$' | sort >"$work/files.txt"
printf '%s\n' /usr/bin/kelvo /usr/share/applications/kelvo.desktop \
    /usr/share/icons/hicolor/scalable/apps/kelvo.svg /usr/share/kelvo/kelvo.html \
    /usr/lib/systemd/user/kelvo.service |
    sort >"$work/expected.txt"
diff "$work/expected.txt" "$work/files.txt" >&2 || fail "package contents"

# The packaged program carries no symbol table: the package stays small.
dpkg-deb -x "$deb" "$work/root"
if readelf -S "$work/root/usr/bin/kelvo" | grep -q '\.symtab'; then fail "not stripped"; fi
grep -qx 'ExecStart=/usr/bin/kelvo /S' "$work/root/usr/lib/systemd/user/kelvo.service" ||
    fail "the packaged unit does not run /usr/bin/kelvo"
echo "Debian package: ok"
