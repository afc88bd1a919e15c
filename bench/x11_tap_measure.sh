#!/usr/bin/env bash
# Measures the event tap on a private Xvfb display: the latency it adds to a
# key press (median and 99th percentile over 1,000 keys) and the product's
# resident memory after start-up and after 100,000 and 200,000 keys.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build --preset default --target quillon x11_tap_measure >/dev/null

workdir=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$workdir"
}
trap cleanup EXIT

exec 3<> "$workdir/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -noreset -nolisten tcp 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do
  [ -s "$workdir/display" ] && break
  sleep 0.1
done
export DISPLAY=":$(head -n1 "$workdir/display")"
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1
setxkbmap -layout us,ru
XDG_CONFIG_HOME="$workdir/config" HOME="$workdir" build/default/quillon 2>"$workdir/quillon.log" &
product=$!
build/default/x11_tap_measure "$DISPLAY" "$product"
