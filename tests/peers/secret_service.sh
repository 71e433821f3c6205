#!/bin/sh
# Runs a program in a session bus of its own with gnome-keyring's Secret Service unlocked
# by a test password; the keyring's files live in a private directory removed afterwards.
set -e
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir -m 700 "$dir/runtime"
export HOME="$dir" XDG_RUNTIME_DIR="$dir/runtime" XDG_DATA_HOME="$dir/data" XDG_CONFIG_HOME="$dir/config"
unset DISPLAY WAYLAND_DISPLAY
dbus-run-session -- sh -c 'printf velkor-test | gnome-keyring-daemon --unlock --components=secrets >/dev/null && "$@"' sh "$@"
