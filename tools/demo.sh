#!/usr/bin/env bash
# make demo: the panel with COM1 on the simulated unit. The simulator ends with the panel.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
scratch=$(mktemp -d)
link="$scratch/com1"

"$build/qx50-sim" --link "$link" --chatter 0.2 > "$scratch/device" &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -rf "$scratch"' EXIT
for _ in $(seq 50); do [ -s "$scratch/device" ] && break; sleep 0.1; done

echo "The simulated unit is on $(cat "$scratch/device"), as COM1."
echo "Choose Com1 from the Com menu, show the received data from the Options menu,"
echo "then press the buttons or type M R P T S and 0 to 9."
# Started in the scratch folder, so its settings file goes with it and the next demo
# starts afresh.
(cd "$scratch" && QX50_COM1="$link" "$build/orma-qx50-voice-mem")
