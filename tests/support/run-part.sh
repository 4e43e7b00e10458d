#!/usr/bin/env bash
# Runs one part of a Qt Test suite: every Nth of its test functions, from the Kth on,
# so that a suite whose functions each wait on real time runs as N ctest entries side
# by side, each within the suite's bound. A function added to the suite falls into a
# part by itself; no list of names is kept anywhere.
# Usage: run-part.sh K N SUITE [LAUNCHER...]   (K from 0; LAUNCHER, e.g.
#        dbus-run-session --, runs before the suite, as it would without parts)
set -euo pipefail
part=$1 parts=$2 suite=$3
shift 3
mapfile -t functions < <("$suite" -functions 2>/dev/null | sed -n 's/^\([A-Za-z_][A-Za-z0-9_]*\)()$/\1/p')
[ ${#functions[@]} -gt 0 ] || { echo "run-part: $suite lists no test functions" >&2; exit 1; }
mine=()
for ((i = part; i < ${#functions[@]}; i += parts)); do
  mine+=("${functions[i]}")
done
[ ${#mine[@]} -gt 0 ] || { echo "run-part: part $part of $parts of $suite has no function"; exit 0; }
exec "$@" "$suite" "${mine[@]}"
