#!/usr/bin/env bash
# The logger samples find qx50-send wherever a user has it: QX50_SEND, beside the
# script (links followed), in the build folder of the source tree the script comes
# from, or on the PATH; with none of these they say where to get it and exit 127.
# Each sample runs from a scratch copy with a PATH of its few tools only, and a
# stand-in qx50-send that prints where it lies; the source tree's row runs the real
# one, which without a session bus says so.
# Usage: check_examples.sh SOURCE-DIR QX50-SEND
set -uo pipefail
source=$1
real_send=$(readlink -f "$2")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }

mkdir "$scratch/tools"
for tool in sh basename dirname readlink awk; do
  ln -s "$(command -v "$tool")" "$scratch/tools/$tool"
done
stand_in() { # stand_in PATH: a qx50-send that prints its own path and arguments
  mkdir -p "$(dirname "$1")"
  printf '#!/bin/sh\necho "$0 $*"\n' > "$1"
  chmod +x "$1"
}

# Where qx50-send lies, and where the sample runs from (its copy's path, or a link to it).
check() { # check SAMPLE ARGUMENT PLAY HOLD
  local sample=$1 argument=$2 expected="--play $3 --hold $4" name
  name=$(basename "$sample")
  local tree="$scratch/$name"
  run() { # run SCRIPT [VAR=VALUE...]: the sample's standard output, error and status
    local script=$1
    shift
    (cd "$(dirname "$script")" && env -i PATH="$tree/bin:$scratch/tools" DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent \
      "$@" sh "./$(basename "$script")" "$argument" > "$tree/out" 2>&1)
    status=$?
  }
  rm -rf "$tree"
  mkdir -p "$tree/src/examples/sample" "$tree/bin" "$tree/contest" "$tree/alone"
  cp "$sample" "$tree/src/examples/sample/$name"
  cp "$sample" "$tree/alone/$name"
  ln -s "$tree/src/examples/sample/$name" "$tree/contest/$name"

  run "$tree/alone/$name"
  [ "$status" -eq 127 ] || fail "$name with no qx50-send anywhere exits $status, not 127"
  grep -q 'make run' "$tree/out" && grep -q 'QX50_SEND' "$tree/out" \
    || fail "$name with no qx50-send does not say where to get it: $(cat "$tree/out")"

  stand_in "$tree/bin/qx50-send"
  run "$tree/alone/$name"
  [ "$(cat "$tree/out")" = "$tree/bin/qx50-send $expected" ] || fail "$name does not take qx50-send from the PATH: $(cat "$tree/out")"

  stand_in "$tree/alone/qx50-send"
  run "$tree/alone/$name"
  [ "$(cat "$tree/out")" = "$tree/alone/qx50-send $expected" ] || fail "$name does not take the qx50-send beside it: $(cat "$tree/out")"

  stand_in "$tree/chosen/qx50-send"
  run "$tree/alone/$name" QX50_SEND="$tree/chosen/qx50-send"
  [ "$(cat "$tree/out")" = "$tree/chosen/qx50-send $expected" ] || fail "$name does not take QX50_SEND first: $(cat "$tree/out")"

  # Through a link from a logger's folder to the sample in the source tree, whose
  # build folder holds the real qx50-send, ahead of the one on the PATH.
  mkdir "$tree/src/build"
  ln -s "$real_send" "$tree/src/build/qx50-send"
  run "$tree/contest/$name"
  [ "$status" -eq 2 ] && grep -q 'qx50-send: no desktop session bus' "$tree/out" \
    || fail "$name through a link does not run the source tree's qx50-send (status $status): $(cat "$tree/out")"
}

check "$source/examples/tlf/play_vk" cq.au 1 6
check "$source/examples/cqrlog/voice_keyer.sh" F2 2 3

echo "$failed failed"
[ "$failed" -eq 0 ]
