#!/usr/bin/env bash
# Replays every recording of a real program through orvane-vt and compares the screen
# with the one tmux showed for the same bytes (see tests/recordings/record).
#   tests/replay.sh ORVANE_VT RECORDINGS_DIR
set -u
vt=$1
dir=$2
status=0
count=0
for rec in "$dir"/*.rec; do
  screen=${rec%.rec}.screen
  if ! diff -u "$screen" <("$vt" --cols 80 --rows 24 "$rec") >/tmp/orvane-replay.$$; then
    echo "FAIL $(basename "$rec"): screen differs from the reference"
    cat /tmp/orvane-replay.$$
    status=1
  else
    echo "ok   $(basename "$rec")"
  fi
  count=$((count + 1))
done
rm -f /tmp/orvane-replay.$$
[ "$count" -gt 0 ] || { echo "no recordings in $dir"; exit 1; }
exit $status
