#!/usr/bin/env bash
# Photographs the panel for the README: the simulated unit on COM1, the received-data
# panel shown, a few commands typed. Needs Xvfb, xdotool and ImageMagick (make test
# installs them). Usage: tools/screenshot.sh [build] [output.png]
set -euo pipefail
build=${1:-build}
out=${2:-docs/screenshot.png}
scratch=$(mktemp -d)
display=":$((60 + $$ % 100))"

Xvfb "$display" -noreset -nolisten tcp -screen 0 800x600x24 &
xvfb=$!
"$build/qx50-sim" --link "$scratch/com1" > "$scratch/device" &
sim=$!
trap 'kill $app $sim $xvfb 2>/dev/null; wait 2>/dev/null; rm -rf "$scratch"' EXIT
app=""
export DISPLAY="$display" QT_QPA_PLATFORM=xcb
for _ in $(seq 100); do [ -S "/tmp/.X11-unix/X${display#:}" ] && [ -s "$scratch/device" ] && break; sleep 0.1; done

printf 'COM1:9600,N,8,1' > "$scratch/orma-qx50-voice-mem.ini"
(cd "$scratch" && QX50_COM1="$scratch/com1" exec "$OLDPWD/$build/orma-qx50-voice-mem") &
app=$!
window=$(xdotool search --sync --onlyvisible --name '^ORMA QX50 Voice Memory$' | head -1)

# Options, then its second item, "Show Serial Com RX data", from the keyboard: the
# menu opens on its first item.
xdotool windowfocus --sync "$window"
xdotool key --delay 200 alt+o Down Return
sleep 0.5

xdotool windowfocus --sync "$window"
xdotool type --delay 150 '3MST3P'
xdotool mousemove 0 0
sleep 1
mkdir -p "$(dirname "$out")"
import -window "$window" "$out"
echo "wrote $out"
