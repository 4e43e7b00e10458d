#!/usr/bin/env bash
# The install tree and the .deb: the program with its guide in a private directory
# and a link on the PATH, a valid desktop entry and metainfo, the icons, the manual
# pages, and the package's files.
# Usage: check_install.sh BUILD-DIR
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
# Each tool's answer is read whole before grep -q looks at it: on a pipe, grep's
# early exit kills the tool and pipefail turns a match into a failure.
sections() { readelf -S --wide "$1" || fail "readelf cannot read $1"; }
# A stripped program has neither a symbol table nor debug information.
stripped() { ! grep -qE ' \.(symtab|debug_info) ' <<<"$(sections "$1")"; }

cmake --install "$build" --prefix "$scratch/root" --strip > /dev/null
root="$scratch/root"
[ -L "$root/bin/orma-qx50-voice-mem" ] || fail "no link in bin"
real=$(readlink -f "$root/bin/orma-qx50-voice-mem")
[ "$real" = "$(readlink -f "$root/libexec/orma-qx50-voice-mem/orma-qx50-voice-mem")" ] || fail "the link leads to $real"
[ -x "$real" ] || fail "the program is not executable"
[ -f "$(dirname "$real")/guide.htm" ] || fail "guide.htm is not beside the program"
# Through the link on the PATH, --help names the guide beside the real program.
help=$(QT_QPA_PLATFORM=no-such-platform "$root/bin/orma-qx50-voice-mem" --help) || fail "--help did not exit 0"
grep -qF "$(dirname "$real")/guide.htm" <<<"$help" || fail "--help does not name the installed guide: $help"
[ -x "$root/bin/qx50-sim" ] || fail "no qx50-sim"
[ -x "$root/bin/qx50-send" ] || fail "no qx50-send"
[ -x "$root/bin/qx50-rigctld" ] || fail "no qx50-rigctld"
[ -x "$root/bin/qx50-web" ] || fail "no qx50-web"
# The user unit that starts qx50-web is there to be turned on, never on by itself.
grep -qx 'ExecStart=/usr/bin/qx50-web $QX50_WEB_ARGS' "$root/lib/systemd/user/qx50-web.service" || fail "no qx50-web user unit"
[ -f "$(dirname "$real")/orma-qx50-networkline.so" ] || fail "the network line module is not beside the program"
for program in "$real" "$(dirname "$real")/orma-qx50-networkline.so" "$root/bin/qx50-sim" "$root/bin/qx50-send" "$root/bin/qx50-rigctld" "$root/bin/qx50-web"; do
  stripped "$program" || fail "$program is not stripped"
done
if grep -qE '^CMAKE_BUILD_TYPE:[A-Z]+=(RelWithDebInfo|Debug)$' "$build/CMakeCache.txt"; then
  ! stripped "$build/orma-qx50-voice-mem" || fail "the build tree's program lost its debug information"
fi
app_id=org.orma.Qx50VoiceMemory
desktop-file-validate "$root/share/applications/$app_id.desktop" || fail "the desktop entry is not valid"
grep -qx 'Exec=orma-qx50-voice-mem' "$root/share/applications/$app_id.desktop" || fail "the desktop entry does not start the program"
[ "$(identify -format '%w %h' "$root/share/icons/hicolor/32x32/apps/orma-qx50-voice-mem.png")" = '32 32' ] \
  || fail "the 32 x 32 icon is not 32 x 32"
grep -q '<svg' "$root/share/icons/hicolor/scalable/apps/orma-qx50-voice-mem.svg" || fail "no scalable icon"
# The metainfo beside the desktop entry it launches, both named by the reverse domain
# name; every program on the PATH is in it and has a manual page, gzipped.
appstreamcli validate-tree --no-net "$root" > "$scratch/validate" \
  || { cat "$scratch/validate"; fail "the installed metainfo is not valid"; }
for program in "$root"/bin/*; do
  name=$(basename "$program")
  grep -q "<binary>$name</binary>" "$root/share/metainfo/$app_id.metainfo.xml" \
    || fail "the metainfo does not provide $name"
  gzip -t "$root/share/man/man1/$name.1.gz" || fail "$name has no gzipped manual page"
done
# Each installed page is its source page, whole.
for page in "$root"/share/man/man1/*.1.gz; do
  source_page="$(dirname "$0")/../../man/$(basename "$page" .gz)"
  gzip -dc "$page" | cmp -s - "$source_page" || fail "$(basename "$page") is not man/$(basename "$page" .gz)"
done
# Programs and modules lose the compiler's notes with their symbols.
for program in "$real" "$root"/bin/qx50-*; do
  ! grep -qE ' \.comment ' <<<"$(sections "$program")" || fail "$program keeps its .comment section"
done

(cd "$build" && cpack -G DEB -B "$scratch/package" > /dev/null)
deb=$(ls "$scratch"/package/orma-qx50-voice-mem_*_*.deb)
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||' | grep -v '/$' | sort > "$scratch/files"
cat > "$scratch/expected" <<'LIST'
usr/bin/orma-qx50-voice-mem
usr/bin/qx50-rigctld
usr/bin/qx50-send
usr/bin/qx50-sim
usr/bin/qx50-web
usr/lib/systemd/user/qx50-web.service
usr/libexec/orma-qx50-voice-mem/guide.htm
usr/libexec/orma-qx50-voice-mem/orma-qx50-networkline.so
usr/libexec/orma-qx50-voice-mem/orma-qx50-voice-mem
usr/share/applications/org.orma.Qx50VoiceMemory.desktop
usr/share/doc/orma-qx50-voice-mem/README.md
usr/share/doc/orma-qx50-voice-mem/changelog.Debian.gz
usr/share/doc/orma-qx50-voice-mem/copyright
usr/share/icons/hicolor/32x32/apps/orma-qx50-voice-mem.png
usr/share/icons/hicolor/scalable/apps/orma-qx50-voice-mem.svg
usr/share/lintian/overrides/orma-qx50-voice-mem
usr/share/man/man1/orma-qx50-voice-mem.1.gz
usr/share/man/man1/qx50-rigctld.1.gz
usr/share/man/man1/qx50-send.1.gz
usr/share/man/man1/qx50-sim.1.gz
usr/share/man/man1/qx50-web.1.gz
usr/share/metainfo/org.orma.Qx50VoiceMemory.metainfo.xml
LIST
diff -u "$scratch/expected" "$scratch/files" || fail "the package's files differ"
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libqt6serialport6* ]] || fail "the package does not depend on Qt Serial Port"
[[ $depends == *fonts-symbola* ]] || fail "the package does not depend on the control-character font"
[[ $depends == *libqt6dbus6* ]] || fail "the package does not depend on Qt D-Bus"
[[ $depends == *libqt6httpserver6* ]] || fail "the package does not depend on Qt HTTP Server (qx50-web)"
[[ $depends == *libtelnet* ]] || fail "the package does not depend on libtelnet (the network line module)"
# Help -> Guide hands guide.htm to xdg-open, which needs a program that shows HTML.
[[ $(dpkg-deb -f "$deb" Recommends) == *xdg-utils* ]] || fail "the package does not recommend xdg-utils"
[[ $(dpkg-deb -f "$deb" Suggests) == *www-browser* ]] || fail "the package does not suggest a web browser"
dpkg-deb -x "$deb" "$scratch/unpacked"
for program in usr/libexec/orma-qx50-voice-mem/orma-qx50-voice-mem usr/libexec/orma-qx50-voice-mem/orma-qx50-networkline.so \
               usr/bin/qx50-sim usr/bin/qx50-send usr/bin/qx50-rigctld usr/bin/qx50-web; do
  stripped "$scratch/unpacked/$program" || fail "the package's $program is not stripped"
done
echo "1 passed, 0 failed"
