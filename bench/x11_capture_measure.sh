#!/usr/bin/env bash
# Measures capture on a private Xvfb display with openbox and a private
# sound server with a sine source: chord to selection overlay, the product's
# resident memory around a full-display recording, and the processor time
# of that recording.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build --preset default --target quillon x11_capture_measure >/dev/null

# shellcheck source=scripts/private-display.sh
source scripts/private-display.sh
mkdir -p "$workdir/pulse"
HOME="$workdir/pulse" XDG_RUNTIME_DIR="$workdir/pulse" pulseaudio -n --daemonize=no \
  --exit-idle-time=-1 --disable-shm=yes \
  --load="module-native-protocol-unix auth-anonymous=1 socket=$workdir/pulse/native" \
  --load="module-sine-source source_name=sine" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -S "$workdir/pulse/native" ] && break; sleep 0.1; done
export PULSE_SERVER="unix:$workdir/pulse/native"

XDG_CONFIG_HOME="$workdir/config" HOME="$workdir" build/default/quillon 2>"$workdir/quillon.log" &
product=$!
build/default/x11_capture_measure "$DISPLAY" "$product"
kill "$product"
wait "$product" 2>/dev/null || true
grep -c "Quillon video: saved" "$workdir/quillon.log" | sed 's/^/recordings saved: /'
