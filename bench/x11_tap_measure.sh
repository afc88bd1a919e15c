#!/usr/bin/env bash
# Measures the event tap on a private Xvfb display: the latency it adds to a
# key press (median and 99th percentile over 1,000 keys) and the product's
# resident memory after start-up and after 100,000 and 200,000 keys, then
# the resident memory of the toolkit shell alone. It also reports the
# keyboard relay's memory, how soon keys flow again once the product is
# stopped, and the idle wake-ups of every thread of both processes.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build --preset default --target quillon x11_tap_measure x11_shell_floor >/dev/null

# shellcheck source=scripts/private-display.sh
source scripts/private-display.sh
XDG_CONFIG_HOME="$workdir/config" HOME="$workdir" build/default/quillon 2>"$workdir/quillon.log" &
product=$!
build/default/x11_tap_measure "$DISPLAY" "$product"
# The floor under the product's memory: the same toolkit shell, nothing else.
build/default/x11_shell_floor
