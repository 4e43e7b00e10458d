#!/usr/bin/env bash
# Installs the Debian packages a command needs, only those missing.
#   tools/install-deps.sh build          what building and running need
#   tools/install-deps.sh build test     ... and what the test suite needs
#   tools/install-deps.sh build bench    ... and what the benchmarks need
#   tools/install-deps.sh --list SET...  prints the packages instead, installs nothing
#   tools/install-deps.sh --check PACKAGE...  names each package that is neither installed
#                                         nor offered by this machine's package lists
#                                         (exit 1 if any), installs nothing
set -euo pipefail

declare -A sets
sets[build]="cmake ninja-build g++ make qt6-base-dev qt6-serialport-dev libtelnet-dev fonts-symbola"
sets[test]="clang xvfb xauth xdotool imagemagick desktop-file-utils dpkg-dev appstream mandoc
            ser2net dbus at-spi2-core python3-pyatspi"
# The screen reader the Message Names dialog is heard through.
sets[test]+=" orca"
# Loggers through qx50-send and qx50-rigctld: Hamlib's rigctld and rigctl, TLF in tmux.
sets[test]+=" libhamlib-utils tlf tmux"
sets[bench]="ser2net dbus"
# The manual pages' and metainfo checks; the start-up figures on an X server.
sets[test]+=" python3 groff-base"
sets[bench]+=" xvfb libxcb-damage0-dev"
# The X client library the end-to-end test and the start-up bench talk to the display with.
sets[test]+=" libxcb1-dev"
sets[bench]+=" libxcb1-dev"
# Debian's own check of the built package.
sets[test]+=" lintian"
# qx50-web: Qt's HTTP server and WebSockets, and libqrencode for the address's QR code.
sets[build]+=" qt6-httpserver-dev qt6-websockets-dev libqrencode-dev"
# qx50-web's page in Debian's headless Chromium, driven from Node.js; npm brings
# puppeteer-core and axe-core into the build directory when the tests run; openssl
# makes the TLS test's certificate.
sets[test]+=" chromium nodejs openssl curl"
sets[bench]+=" chromium nodejs"
# Debian's Node.js has npm as a package of its own; a Node.js that carries npm needs none.
# Event sounds: libcanberra, its sound-server backend and the freedesktop sound theme it
# plays from; the tests and the sound figure play them into a private PulseAudio server
# and record its null sink.
sets[build]+=" libcanberra-dev libcanberra-pulse sound-theme-freedesktop"
sets[test]+=" pulseaudio pulseaudio-utils"
sets[bench]+=" pulseaudio pulseaudio-utils"
command -v npm > /dev/null || sets[test]+=" npm"
command -v npm > /dev/null || sets[bench]+=" npm"

# Each tool's whole answer is taken first and then looked at: under pipefail,
# a grep -q reading a pipe fails whenever it stops reading before the tool has written
# everything (the tool dies of SIGPIPE), which made every package that was not yet
# installed look unknown.
installed() {
  local status
  status=$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null) && [ "$status" = "install ok installed" ]
}
offered() {
  local policy
  policy=$(apt-cache policy "$1" 2>/dev/null) || return 1
  grep -q 'Candidate: [^(]' <<<"$policy"
}

if [ "${1:-}" = "--check" ]; then
  shift
  unknown=0
  for p in "$@"; do
    installed "$p" || offered "$p" || {
      echo "install-deps: $p is neither installed nor offered by the package lists (apt-get update?)" >&2
      unknown=$((unknown + 1))
    }
  done
  [ "$unknown" -eq 0 ]
  exit
fi

list_only=false
if [ "${1:-}" = "--list" ]; then
  list_only=true
  shift
fi
[ $# -gt 0 ] || set -- build
wanted=()
for name in "$@"; do
  [ -n "${sets[$name]+x}" ] || { echo "install-deps: no package set '$name' (build, test, bench)" >&2; exit 2; }
  read -r -a list <<<"$(echo ${sets[$name]})"
  wanted+=("${list[@]}")
done

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
updated=false
update_once() {
  $updated || $sudo apt-get update -qq
  updated=true
}
install() {
  echo "Installing: $*"
  update_once
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$@"
}

# The fuzzers need clang's runtime. Its package follows clang's major version
# (libclang-rt-14-dev on Debian 12); a release without it may offer the unversioned
# libclang-rt-dev, or keep the runtime in libclang-common-N-dev, which clang pulls in.
clang_runtime() {
  local major=""
  if command -v clang > /dev/null; then
    major=$(clang --version 2>/dev/null | sed -n 's/.*clang version \([0-9]*\).*/\1/p' || true)
  fi
  major=${major%%$'\n'*}
  if [ -z "$major" ]; then # clang not installed yet: the version the release would install
    major=$(apt-cache depends clang 2>/dev/null | sed -n 's/.*Depends: clang-\([0-9][0-9]*\)$/\1/p' || true)
    major=${major%%$'\n'*}
  fi
  local candidate
  for candidate in ${major:+libclang-rt-$major-dev} libclang-rt-dev; do
    if installed "$candidate" || offered "$candidate"; then
      echo "$candidate"
      return
    fi
  done
}

wants_test=false
[[ " $* " == *" test "* ]] && wants_test=true

if $list_only; then
  printf '%s\n' "${wanted[@]}"
  if $wants_test; then clang_runtime; fi
  exit 0
fi

missing=()
for p in "${wanted[@]}"; do
  installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] || install "${missing[@]}"

if $wants_test; then
  runtime=$(clang_runtime)
  if [ -z "$runtime" ] && ! $updated; then # an old package list may not know it yet
    update_once
    runtime=$(clang_runtime)
  fi
  if [ -n "$runtime" ]; then
    installed "$runtime" || install "$runtime"
  fi
fi
exit 0
