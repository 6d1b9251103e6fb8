#!/bin/sh
# Runs a test program in a temporary home on a private D-Bus session bus with its own unlocked
# GNOME keyring, so that no test sees the user's keyring, files or ~/.ssh.
set -u
tmp=$(mktemp -d) || exit 1
mkdir -m 700 "$tmp/run" "$tmp/home"
export HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/run"
export XDG_DATA_HOME="$HOME/.local/share" XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache"
unset DBUS_SESSION_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY
dbus-run-session -- sh -c '
  printf orvane | gnome-keyring-daemon --foreground --unlock --components=secrets >/dev/null 2>&1 &
  keyring=$!
  # Ready once it owns the Secret Service name on this bus.
  tries=0
  while [ $tries -lt 100 ] && ! dbus-send --session --print-reply --dest=org.freedesktop.DBus \
      /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null |
      grep -q true; do
    sleep 0.05
    tries=$((tries + 1))
  done
  ORVANE_TEST_KEYRING=1 "$@"
  status=$?
  kill $keyring 2>/dev/null
  wait $keyring 2>/dev/null
  exit $status' sh "$@"
status=$?
rm -rf "$tmp"
exit $status
