#!/usr/bin/env bash
# make demo-remote: the panel with COM1 on the simulated unit, reached over the network
# (RFC 2217 on 127.0.0.1). The simulator ends with the panel.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
scratch=$(mktemp -d)

"$build/qx50-sim" --listen 0 --chatter 0.2 > "$scratch/sim" &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -rf "$scratch"' EXIT
for _ in $(seq 50); do [ -s "$scratch/sim" ] && break; sleep 0.1; done
address=$(head -n 1 "$scratch/sim")

echo "The simulated unit is served at $address, as COM1."
echo "Choose Com1 from the Com menu, show the received data from the Options menu,"
echo "then press the buttons or type M R P T S and 0 to 9."
echo "The serial-control commands the panel sent are listed when the panel closes."
# Started in the scratch folder, so its settings file goes with it.
(cd "$scratch" && QX50_COM1="$address" "$build/orma-qx50-voice-mem") || true
tail -n +2 "$scratch/sim"
