#!/usr/bin/env bash
# make run configures and builds every program a user runs and all that installing
# takes (the panel and its network line module, qx50-sim, qx50-send, qx50-rigctld,
# the icon, the manual pages), with the tests, benchmarks and fuzzers left out, so
# that neither Qt Test nor the X headers are looked for; an install straight after it
# finds every file, and an install before any build stops with the command to run.
# Configures a scratch build as make would, with Qt Test out of reach, and lists the
# build's steps without running them.
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
build="$scratch/b"
cache="$build/CMakeCache.txt"
grep -qx 'BUILD_TESTING:BOOL=OFF' "$cache" || fail "make run configures with the tests on"
! grep -q '^QX50_XCB_LIBRARY' "$cache" || fail "make run's configure looks for libxcb"

# Every command the build's targets take from a fresh tree, one a line, and every
# file they make.
targets=$(sed -n 's/.*--target \(.*\)$/\1/p' <<<"${commands[1]}")
[ -n "$targets" ] || fail "make run builds every target"
# shellcheck disable=SC2086 # one target a word
ninja -C "$build" -t commands $targets > "$scratch/steps" 2>&1 || { cat "$scratch/steps"; fail "ninja cannot list the steps"; }
# shellcheck disable=SC2086
ninja -C "$build" -t graph $targets 2> /dev/null | sed -n 's/.*\[label="\(.*\)"\]$/\1/p' > "$scratch/made"
grep -E '(tests|bench)/|tst_|fuzz_' "$scratch/steps" && fail "make run builds tests, benchmarks or fuzzers"
for file in orma-qx50-voice-mem orma-qx50-networkline.so qx50-sim qx50-send qx50-rigctld qx50-web orma-qx50-voice-mem.png \
            man/qx50-rigctld.1.gz; do
  grep -qx -- "$file" "$scratch/made" || fail "make run does not build $file"
done
[ -f "$build/guide.htm" ] || fail "the guide is not beside the program"

# Each file the install takes from the build tree is there after configuring, or
# make run builds it.
while read -r file; do
  [ -e "$file" ] || [ -L "$file" ] || grep -qx -- "${file#"$build"/}" "$scratch/made" || fail "make run leaves $file unbuilt, which installing takes"
done < <(grep -o "\"$build/[^\"]*\"" "$build/cmake_install.cmake" | tr -d '"' | grep -v 'cmake_install.cmake$\|[{;]' | sort -u)

# Installing before building stops before copying anything, with one line that
# names the command to run first.
if cmake --install "$build" --prefix "$scratch/root" > "$scratch/install.log" 2>&1; then
  fail "an install before any build succeeds"
fi
grep -q "not built yet: run cmake --build $build --target programs (or make run) first\.$" "$scratch/install.log" \
  || { cat "$scratch/install.log"; fail "an install before any build does not say what to run"; }
! grep -q 'cannot find' "$scratch/install.log" || fail "an install before any build fails on a missing file"
[ ! -e "$scratch/root" ] || fail "an install before any build copies files"

echo "make run: $(wc -l < "$scratch/steps") build steps"
echo "$failed failed"
[ "$failed" -eq 0 ]
