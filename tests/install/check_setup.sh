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

runtime_of() { grep '^libclang-rt' <<<"$1"; }

all=$("$deps" --list build test bench) || fail "install-deps --list failed"
# shellcheck disable=SC2086 # one package a word
"$deps" --check $all || fail "a package above is not in this release"
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
"$deps" --check no-such-package-qx50 2> /dev/null && fail "a package that does not exist is taken as offered"

# A package this release offers but this machine lacks counts as offered every time,
# not only when a pipe's reader happens to outlast its writer.
absent=""
for candidate in hello sl cowsay fortune-mod; do
  if ! dpkg-query -W "$candidate" > /dev/null 2>&1 && apt-cache show "$candidate" > /dev/null 2>&1; then
    absent=$candidate
    break
  fi
done
if [ -z "$absent" ]; then
  fail "no offered, uninstalled package to try the check with (hello, sl, cowsay, fortune-mod)"
else
  for try in $(seq 5); do
    "$deps" --check "$absent" || { fail "$absent, not installed, was not found on try $try of 5"; break; }
  done
fi

# The scripts read a tool's whole answer before grep -q looks at it: on a pipe under
# pipefail, grep's early exit kills the writer and the match reads as a failure.
for script in "$source"/Makefile "$source"/.ci/* "$source"/tools/*.sh "$source"/tests/install/*.sh \
              "$source"/examples/*/*; do
  grep -q pipefail "$script" || continue
  if grep -nE '(^|[^|])\|[[:space:]]*grep[[:space:]]+-[A-Za-z]*q' "$script"; then
    fail "${script#"$source"/} pipes into grep -q under pipefail"
  fi
done

echo "$failed failed"
[ "$failed" -eq 0 ]
