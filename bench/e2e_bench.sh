#!/usr/bin/env bash
# End to end under Xvfb: how long a 50 MB coloured text file takes to `cat` inside an Orvane
# pane, next to xterm and alacritty doing the same (installed here for the measurement only),
# the time from start to the first prompt, and Orvane's resident memory afterwards.
#   bench/e2e_bench.sh build/bin/orvane
set -u
orvane=$(realpath "$1")
work=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
for p in xterm alacritty; do
  command -v "$p" >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$p" >/dev/null 2>&1
done

# 50 MB of coloured words and numbers, as a build log or ls --color would print.
awk 'BEGIN { srand(7); while (n < 50000000) { line = "";
       for (i = 0; i < 12; i++) line = line sprintf("\033[%dm%s\033[0m %d ", 31 + int(rand() * 7), "word" i, int(rand() * 100000));
       print line; n += length(line) + 1 } }' > "$work/big.txt"
size=$(stat -c %s "$work/big.txt")

exec 3<> "$work/display"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" SHELL=/bin/sh
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

now() { date +%s.%N; }
rate() { awk -v s="$size" -v t="$1" 'BEGIN { printf "%.1f MB/s (%.2f s)", s / t / 1e6, t }'; }

# Orvane: the first prompt, seen through the screen dump.
start=$(now)
ORVANE_DUMP="$work/dump" "$orvane" >/dev/null 2>&1 &
pid=$!
for _ in $(seq 1500); do grep -q '[^[:space:]]' "$work/dump" 2>/dev/null && break; sleep 0.02; done
prompt=$(awk -v a="$start" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }')
kill "$pid"
wait "$pid" 2>/dev/null

# Orvane: the shell types the command itself (0.8 s after start); a file marks the end.
rm -f "$work/done"
start=$(now)
ORVANE_INPUT="cat $work/big.txt; touch $work/done" "$orvane" >/dev/null 2>&1 &
pid=$!
for _ in $(seq 12000); do [ -e "$work/done" ] && break; sleep 0.05; done
total=$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a - 0.8 }')
rss=$(awk '/VmRSS/ { printf "%.0f MB", $2 / 1024 }' "/proc/$pid/status")
kill "$pid"
echo "orvane:    $(rate "$total"), first prompt after $prompt s, resident memory $rss"

run_other() {  # run_other NAME COMMAND...
  local name=$1
  shift
  command -v "$1" >/dev/null || { echo "$name: not installed"; return; }
  rm -f "$work/done"
  local t0
  t0=$(now)
  timeout 600 "$@" -e sh -c "cat $work/big.txt; touch $work/done" >/dev/null 2>&1 &
  local p=$!
  while [ ! -e "$work/done" ] && kill -0 "$p" 2>/dev/null; do sleep 0.05; done
  if [ -e "$work/done" ]; then
    echo "$name: $(rate "$(awk -v a="$t0" -v b="$(now)" 'BEGIN { print b - a }')")"
  else
    echo "$name: did not run here"
  fi
  kill "$p" 2>/dev/null
}
run_other "xterm    " xterm -geometry 200x50
run_other "alacritty" alacritty -o window.dimensions.columns=200 -o window.dimensions.lines=50
