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

# shellcheck source=scripts/private-display.sh
source scripts/private-display.sh

echo "Quillon on a private X display ($DISPLAY), layouts us,ru; its log is in quillon.log"
XDG_CONFIG_HOME="$workdir/config" build/default/quillon 2>"$workdir/quillon.log" &
pids+=($!)
build/default/quillon_x11_demo "$DISPLAY"
cp "$workdir/quillon.log" quillon.log
