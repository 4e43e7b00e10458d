#!/usr/bin/env bash
# Installs the Debian packages a command needs, only those missing.
#   tools/install-deps.sh build          what building and running need
#   tools/install-deps.sh build test     ... and what the test suite needs
#   tools/install-deps.sh build bench    ... and what the benchmarks need
set -euo pipefail

declare -A sets
sets[build]="cmake ninja-build g++ make qt6-base-dev qt6-serialport-dev libtelnet-dev fonts-symbola"
sets[test]="clang xvfb xauth xdotool imagemagick desktop-file-utils dpkg-dev appstream mandoc
            ser2net dbus at-spi2-core python3-pyatspi"
sets[bench]="ser2net dbus"

[ $# -gt 0 ] || set -- build
wanted=()
for name in "$@"; do
  [ -n "${sets[$name]+x}" ] || { echo "install-deps: no package set '$name' (build, test, bench)" >&2; exit 2; }
  read -r -a list <<<"$(echo ${sets[$name]})"
  wanted+=("${list[@]}")
done

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
install() {
  echo "Installing: $*"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$@"
}
[ ${#missing[@]} -eq 0 ] || install "${missing[@]}"

# The fuzzers need clang's runtime, whose package carries clang's major version.
if [[ " $* " == *" test "* ]]; then
  major=$(clang --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n 1)
  runtime="libclang-rt-${major}-dev"
  dpkg-query -W -f='${Status}' "$runtime" 2>/dev/null | grep -q 'install ok installed' || install "$runtime"
fi
exit 0
