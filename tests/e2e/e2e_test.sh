#!/usr/bin/env bash
# End-to-end tests of the whole application under Xvfb, driven by its automation variables.
#   tests/e2e/e2e_test.sh build/bin/orvane
set -u
orvane=$(realpath "$1")
work=$(mktemp -d)
failures=0
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  pkill -f "$work" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A private X server, a private home, shell and runtime folder for every start.
exec 3<> "$work/display"
Xvfb -displayfd 3 -screen 0 1400x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export SHELL=/bin/bash
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"
chmod 700 "$XDG_RUNTIME_DIR"
printf 'PS1="e2e$ "\n' > "$HOME/.bashrc"
printf '. ~/.bashrc\n' > "$HOME/.bash_profile"
unset ORVANE_CONNECT ORVANE_PLAIN ORVANE_ACTIONS ORVANE_SNAPSHOT ORVANE_INPUT ORVANE_DUMP TMUX

check() {  # check NAME CONDITION-RESULT DETAILS
  if [ "$2" = 0 ]; then echo "ok   $1"; else echo "FAIL $1: $3"; failures=$((failures + 1)); fi
}

# run SECONDS VAR=VALUE...: one Orvane run with these variables, ended after SECONDS.
run() {
  local seconds=$1
  shift
  env "$@" timeout "$seconds" "$orvane" >"$work/out.log" 2>&1
}

# Typed input reaches the shell and its output the dump file.
run 5 ORVANE_INPUT='echo e2e-$((6*7))' ORVANE_DUMP="$work/dump.txt"
grep -q '^e2e-42$' "$work/dump.txt" 2>/dev/null
check "typed command shows in the dump" $? "$(cat "$work/dump.txt" 2>/dev/null)"
[ "$(wc -l < "$work/dump.txt")" -ge 10 ]
check "the dump holds every screen row" $? "$(wc -l < "$work/dump.txt") lines"

count() { cat /tmp/orvane-count 2>/dev/null; }
cases=(
  "tab,split,count|1 min=false"
  "window, window,count|2 min=false"
  "window,quit,count|1 min=false"
  "window,window,window,window,window,window,count|6 min=false"
  "tab,select0,select9,select,count|1 min=false"
)
for c in "${cases[@]}"; do
  actions=${c%%|*}
  expected=${c#*|}
  rm -f /tmp/orvane-count
  n=$(tr -cd ',' <<< "$actions" | wc -c)
  run "$(( 3 + (n * 6 + 9) / 10 ))" ORVANE_ACTIONS="$actions"
  [ "$(count)" = "$expected" ]
  check "actions '$actions'" $? "count file holds '$(count)'"
done

# A snapshot is a PNG of the window's content.
run 6 ORVANE_SNAPSHOT="$work/shot.png"
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}'; }
[ "$(head -c 8 "$work/shot.png" 2>/dev/null | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ]
check "snapshot is a PNG" $? "$(ls -la "$work/shot.png" 2>&1)"
[ "$(png_size "$work/shot.png")" = 1080x700 ]
check "snapshot has the window's size" $? "$(png_size "$work/shot.png")"

# The help window's snapshot shows the page with its version.
run 8 ORVANE_HELPSHOT="$work/help.png"
[ "$(head -c 8 "$work/help.png" 2>/dev/null | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ]
check "help snapshot is a PNG" $? "$(ls -la "$work/help.png" 2>&1)"
[ "$(png_size "$work/help.png")" = 860x720 ]
check "help snapshot has the help window's size" $? "$(png_size "$work/help.png")"

# Folder requests: a second start hands them to the running instance.
ORVANE_INPUT=pwd ORVANE_DUMP="$work/folder.txt" "$orvane" >"$work/first.log" 2>&1 &
first=$!
sleep 2
"$orvane" --tab /usr/share
check "a second start hands over its folder" $? "exit status $?"
sleep 2
grep -q '^/usr/share$' "$work/folder.txt" 2>/dev/null
check "the handed-over folder opens as a tab" $? "$(cat "$work/folder.txt" 2>/dev/null)"
msg=$("$orvane" /no/such/folder 2>&1)
status=$?
[ "$status" = 1 ] && [ "$msg" = "Orvane couldn't find that folder." ]
check "a missing folder is refused" $? "status $status, '$msg'"
kill "$first" 2>/dev/null
wait "$first" 2>/dev/null

[ "$failures" = 0 ]
