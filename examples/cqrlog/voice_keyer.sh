#!/bin/sh
# CQRLOG's voice keyer: CQRLOG runs ~/.config/cqrlog/voice_keyer/voice_keyer.sh F1 to
# F10 for its F-keys (Preferences > Voice keyer). The unit plays memory N for
# SECONDS; when CQRLOG stops the message it ends this script and qx50-send then
# sends S, which stops the unit.
#
#   F-key  memory  seconds
TABLE='
    F1     1       6
    F2     2       3
    F3     3       2
    F4     4       2
    F5     5       2
    F6     6       3
    F7     7       2
    F8     8       2
    F9     9       4
    F10    0       4
'
# With two units (SO2R), QX50_PORT=N picks the panel whose open port is COM N.

key=${1:?usage: voice_keyer.sh F1..F10}
set -- $(printf '%s\n' "$TABLE" | awk -v k="$key" '$1 == k { print $2, $3; exit }')
[ $# -eq 2 ] || { echo "voice_keyer.sh: $key is not in the table" >&2; exit 1; }

# qx50-send: QX50_SEND if set, else beside this script (links followed), else in the
# build folder of the source tree this script comes from (make run builds it there),
# else on the PATH (installed).
here=$(dirname "$(readlink -f "$0")")
send=${QX50_SEND:-}
for candidate in "$here/qx50-send" "$here/../../build/qx50-send"; do
  [ -n "$send" ] || [ ! -x "$candidate" ] || send=$candidate
done
[ -n "$send" ] || send=$(command -v qx50-send) || {
  echo "voice_keyer.sh: qx50-send is not beside this script, in the source tree's build folder or on the PATH:" \
       "run make run in the orma-qx50-voice-mem source (or install it), or set QX50_SEND=/path/to/qx50-send" >&2
  exit 127
}
exec "$send" ${QX50_PORT:+--port "$QX50_PORT"} --play "$1" --hold "$2"
