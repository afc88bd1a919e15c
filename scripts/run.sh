#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Quillon and runs it for real.
# In an X11 session (DISPLAY set) Quillon runs there until Ctrl+C. Without
# one it runs on a private Xvfb display with openbox and a small text window,
# where a scripted typist at a keyboard of its own types; what the window
# received is printed, then everything stops.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target quillon quillon_x11_demo

if [ -n "${DISPLAY:-}" ]; then
  exec build/default/quillon
fi

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

echo "Quillon on a private X display ($DISPLAY), layouts us,ru; its log is in quillon.log"
XDG_CONFIG_HOME="$workdir/config" build/default/quillon 2>"$workdir/quillon.log" &
pids+=($!)
build/default/quillon_x11_demo "$DISPLAY"
cp "$workdir/quillon.log" quillon.log
