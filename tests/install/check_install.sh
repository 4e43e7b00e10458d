#!/usr/bin/env bash
# The install tree and the .deb: the program with its guide in a private directory
# and a link on the PATH, a valid desktop entry, the icons, and the package's files.
# Usage: check_install.sh BUILD-DIR
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$scratch/root" > /dev/null
root="$scratch/root"
[ -L "$root/bin/orma-qx50-voice-mem" ] || fail "no link in bin"
real=$(readlink -f "$root/bin/orma-qx50-voice-mem")
[ "$real" = "$(readlink -f "$root/libexec/orma-qx50-voice-mem/orma-qx50-voice-mem")" ] || fail "the link leads to $real"
[ -x "$real" ] || fail "the program is not executable"
[ -f "$(dirname "$real")/guide.htm" ] || fail "guide.htm is not beside the program"
[ -x "$root/bin/qx50-sim" ] || fail "no qx50-sim"
desktop-file-validate "$root/share/applications/orma-qx50-voice-mem.desktop" || fail "the desktop entry is not valid"
identify -format '%w %h' "$root/share/icons/hicolor/32x32/apps/orma-qx50-voice-mem.png" | grep -qx '32 32' \
  || fail "the 32 x 32 icon is not 32 x 32"
grep -q '<svg' "$root/share/icons/hicolor/scalable/apps/orma-qx50-voice-mem.svg" || fail "no scalable icon"

(cd "$build" && cpack -G DEB -B "$scratch/package" > /dev/null)
deb=$(ls "$scratch"/package/orma-qx50-voice-mem_*_*.deb)
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||' | grep -v '/$' | sort > "$scratch/files"
cat > "$scratch/expected" <<'LIST'
usr/bin/orma-qx50-voice-mem
usr/bin/qx50-sim
usr/libexec/orma-qx50-voice-mem/guide.htm
usr/libexec/orma-qx50-voice-mem/orma-qx50-voice-mem
usr/share/applications/orma-qx50-voice-mem.desktop
usr/share/doc/orma-qx50-voice-mem/README.md
usr/share/icons/hicolor/32x32/apps/orma-qx50-voice-mem.png
usr/share/icons/hicolor/scalable/apps/orma-qx50-voice-mem.svg
LIST
diff -u "$scratch/expected" "$scratch/files" || fail "the package's files differ"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6serialport6' || fail "the package does not depend on Qt Serial Port"
dpkg-deb -f "$deb" Depends | grep -q "fonts-symbola" || fail "the package does not depend on the control-character font"
echo "1 passed, 0 failed"
