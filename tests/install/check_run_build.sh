#!/usr/bin/env bash
# make run configures and builds only what running needs: the panel, qx50-sim and
# qx50-send, with the tests, benchmarks and fuzzers left out, so that neither Qt
# Test nor the X headers are looked for. Configures a scratch build as make would,
# with Qt Test out of reach, and lists the build's steps without running them.
# Usage: check_run_build.sh SOURCE-DIR
set -uo pipefail
source=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }

# The cmake commands make build runs, in order: configure, then build.
mapfile -t commands < <(make -n -C "$source" build BUILD="$scratch/b" JOBS=2 2>/dev/null | grep '^cmake ')
[ ${#commands[@]} -eq 2 ] || { printf '%s\n' "${commands[@]}"; echo "FAIL: expected a configure and a build"; exit 1; }

(cd "$source" && eval "${commands[0]} -DCMAKE_DISABLE_FIND_PACKAGE_Qt6Test=ON") > "$scratch/configure.log" 2>&1 \
  || { cat "$scratch/configure.log"; echo "FAIL: make run's configure needs Qt Test"; exit 1; }
cache="$scratch/b/CMakeCache.txt"
grep -qx 'BUILD_TESTING:BOOL=OFF' "$cache" || fail "make run configures with the tests on"
! grep -q '^QX50_XCB_LIBRARY' "$cache" || fail "make run's configure looks for libxcb"

# Every command the build's targets take from a fresh tree, one a line.
targets=$(sed -n 's/.*--target \(.*\)$/\1/p' <<<"${commands[1]}")
[ -n "$targets" ] || fail "make run builds every target"
ninja -C "$scratch/b" -t commands $targets > "$scratch/steps" 2>&1 || { cat "$scratch/steps"; fail "ninja cannot list the steps"; }
grep -E '(tests|bench)/|tst_|fuzz_|qx50-rigctld|render-icon' "$scratch/steps" && fail "make run builds more than running needs"
for program in orma-qx50-voice-mem qx50-sim qx50-send; do
  grep -qE -- "-o $program( |\$)" "$scratch/steps" || fail "make run does not build $program"
done
[ -f "$scratch/b/guide.htm" ] || fail "the guide is not beside the program"

echo "make run: $(wc -l < "$scratch/steps") build steps"
echo "$failed failed"
[ "$failed" -eq 0 ]
