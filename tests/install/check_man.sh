#!/usr/bin/env bash
# The manual pages: each one renders without a warning from either formatter that
# man may use, names the project's version if it names one, and every option a
# program's --help lists is described on that program's page.
# Usage: check_man.sh MAN-DIR VERSION [PROGRAM...]
set -uo pipefail
man_dir=$1
version=$2
shift 2
failed=0
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }

pages=("$man_dir"/*.1)
[ -e "${pages[0]}" ] || { echo "FAIL: no pages in $man_dir"; exit 1; }
for page in "${pages[@]}"; do
  name=$(basename "$page")
  lint=$(mandoc -Tlint -Wwarning "$page" 2>&1) || fail "$name: mandoc: $lint"
  warnings=$(groff -ww -man -z "$page" 2>&1)
  [ -z "$warnings" ] || fail "$name: groff: $warnings"
  # The header's fourth field, e.g. "orma-qx50-voice-mem 1.0.0".
  named=$(sed -n 's/^\.TH .*"[^"]* \([0-9][0-9]*\.[0-9][0-9]*\.[0-9][0-9]*\)".*/\1/p' "$page")
  [ -z "$named" ] || [ "$named" = "$version" ] || fail "$name: names version $named, the project is $version"
done

# The rendered text, with the formatter's bold and underline taken out.
rendered() { mandoc -Tascii "$1" | sed 's/.\x08//g'; }

for program in "$@"; do
  name=$(basename "$program")
  page="$man_dir/$name.1"
  [ -f "$page" ] || { fail "$name has no page"; continue; }
  help=$("$program" --help) || { fail "$name --help failed"; continue; }
  text=$(rendered "$page")
  for option in $(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
    grep -q -- "$option" <<<"$text" || fail "$name: $option is not on its page"
  done
done

echo "${#pages[@]} pages and $# programs checked, $failed failed"
[ "$failed" -eq 0 ]
