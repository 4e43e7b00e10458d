#!/usr/bin/env bash
# The .deb as Debian's lintian sees it: no error, no warning, none of the hardening
# or stripping infos, and every override kept with a reason. The description names
# every program that has a manual page, and the changelog is this version's.
# Usage: check_lintian.sh SOURCE-DIR BUILD-DIR
set -uo pipefail
source=$1
build=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }

(cd "$build" && cpack -G DEB -B "$scratch/package" > "$scratch/cpack.log" 2>&1) \
  || { cat "$scratch/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb=$(ls "$scratch"/package/orma-qx50-voice-mem_*_*.deb)

# Infos are shown too: the ones below are faults of the build, not of taste.
lintian --display-info --no-cfg --fail-on error,warning "$deb" > "$scratch/lintian" 2>&1
status=$?
cat "$scratch/lintian"
[ $status -eq 0 ] || fail "lintian exited $status"
grep -E '^[EW]: ' "$scratch/lintian" && fail "lintian reports errors or warnings"
grep -E '^I: .*(hardening-|binary-has-unneeded-section|no-md5sums)' "$scratch/lintian" \
  && fail "lintian reports a hardening or stripping info"

# An override stands only with a comment saying why, on the line above it.
dpkg-deb -x "$deb" "$scratch/root"
overrides="$scratch/root/usr/share/lintian/overrides/orma-qx50-voice-mem"
previous=""
while IFS= read -r line; do
  if [[ "$line" == orma-qx50-voice-mem:* ]] && [[ "$previous" != "#"* ]]; then
    fail "override without a reason: $line"
  fi
  previous=$line
done < "$overrides"

description=$(dpkg-deb -f "$deb" Description)
for page in "$source"/man/*.1; do
  program=$(basename "$page" .1)
  grep -qw -- "$program:" <<<"$description" || fail "the description does not name $program"
done

version=$(dpkg-deb -f "$deb" Version)
changelog=$(gzip -dc "$scratch/root/usr/share/doc/orma-qx50-voice-mem/changelog.Debian.gz" | sed -n 1p)
[[ "$changelog" == "orma-qx50-voice-mem ($version) "* ]] || fail "the changelog's newest entry is not $version: $changelog"

echo "$failed failed"
[ "$failed" -eq 0 ]
