#!/usr/bin/env bash
# Each make command installs only the package sets it needs, and every package named
# is one this Debian release has, the fuzzers' clang runtime included, even before
# clang itself is installed.
# Usage: check_setup.sh SOURCE-DIR
set -uo pipefail
source=$1
deps="$source/tools/install-deps.sh"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }

# The sets a make command asks for, from its dry run.
sets_of() {
  make -n -C "$source" "$1" BUILD="$scratch/b" ASAN_BUILD="$scratch/a" FUZZ_BUILD="$scratch/f" \
       BENCH_BUILD="$scratch/r" 2>/dev/null |
    sed -n 's|.*tools/install-deps.sh\(.*\)|\1|p' | tr ' ' '\n' | sed '/^$/d' | sort -u | tr '\n' ' '
}
for row in "run:build " "demo:build " "test:build test " "bench:bench build "; do
  command=${row%%:*}
  expected=${row#*:}
  actual=$(sets_of "$command")
  [ "$actual" = "$expected" ] || fail "make $command installs the sets '$actual', not '$expected'"
done

known() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed' ||
    apt-cache policy "$1" 2>/dev/null | grep -q 'Candidate: [^(]'
}
runtime_of() { grep '^libclang-rt' <<<"$1"; }

all=$("$deps" --list build test bench) || fail "install-deps --list failed"
for package in $all; do
  known "$package" || fail "no package $package in this release"
done
[ -n "$(runtime_of "$all")" ] || fail "no clang runtime for the fuzzers"

# Before clang is installed, its version comes from what the release would install.
mkdir "$scratch/bin"
printf '#!/bin/sh\nexit 127\n' > "$scratch/bin/clang"
chmod +x "$scratch/bin/clang"
without=$(PATH="$scratch/bin:$PATH" "$deps" --list test) || fail "install-deps --list fails without clang"
[ "$(runtime_of "$without")" = "$(runtime_of "$all")" ] \
  || fail "without clang the runtime is '$(runtime_of "$without")', not '$(runtime_of "$all")'"

"$deps" --list build lint > /dev/null 2>&1
[ $? -eq 2 ] || fail "an unknown set is not refused"

echo "$failed failed"
[ "$failed" -eq 0 ]
