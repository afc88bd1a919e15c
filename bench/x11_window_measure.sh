#!/usr/bin/env bash
# Measures window access on a private Xvfb display with openbox: the time
# from a snap chord to the frame applied (median over 100 snaps), the window
# work of one position-manager poll with 50 windows open, and the product's
# idle wake-ups, first with both window switches on and then with both off.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build --preset default --target quillon x11_window_measure >/dev/null

# shellcheck source=scripts/private-display.sh
source scripts/private-display.sh
settings="$workdir/config/quillon"
for switches in true false; do
  rm -rf "$workdir/config"
  mkdir -p "$settings"
  cat >"$settings/com.quillon.Quillon.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>autoSnapMouseDragEnabled</key><$switches/>
<key>restoreWindowPositionsEnabled</key><$switches/>
</dict></plist>
PLIST
  echo "window switches on: $switches"
  XDG_CONFIG_HOME="$workdir/config" HOME="$workdir" build/default/quillon 2>"$workdir/quillon.log" &
  build/default/x11_window_measure "$DISPLAY" "$!"
done
