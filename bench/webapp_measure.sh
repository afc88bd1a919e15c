#!/usr/bin/env bash
# Measures a web app on a private Xvfb display with openbox: the time from
# starting it to the first paint of a local page (median of 5 starts), the
# resident memory of the web app's process and of WebKit's processes, and
# the menu-bar process's resident memory, which must not map WebKit at all.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build --preset default --target quillon >/dev/null
module=$PWD/build/default/quillon-webkit.so

# shellcheck source=scripts/private-display.sh
source scripts/private-display.sh
# The engine's sandbox and GPU paths are not available under Xvfb in every
# container; only measurement and tests turn them off.
export WEBKIT_DISABLE_DMABUF_RENDERER=1 WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS=1
export QUILLON_WEBKIT_MODULE=$module
export HOME=$workdir XDG_DATA_HOME=$workdir/share XDG_CONFIG_HOME=$workdir/config

# The title changes once two frames have been drawn: the page is painted.
cat >"$workdir/page.html" <<'HTML'
<html><head><title>loading</title></head><body><h1>Local page</h1>
<script>requestAnimationFrame(() => requestAnimationFrame(() => { document.title = 'painted'; }));</script>
</body></html>
HTML
bundle=$workdir/Applications/Measure.app/Contents
mkdir -p "$bundle/MacOS"
cp build/default/quillon "$bundle/MacOS/Measure"
cat >"$bundle/Info.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>CFBundleName</key><string>Measure</string>
<key>CFBundleIdentifier</key><string>com.quillon.webapp.measure</string>
<key>CFBundleExecutable</key><string>Measure</string>
<key>QuillonWebAppURL</key><string>file://$workdir/page.html</string>
</dict></plist>
PLIST

rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

starts=()
for run in 1 2 3 4 5; do
  begin=$(now_ms)
  "$bundle/MacOS/Measure" 2>"$workdir/webapp.log" &
  app=$!
  until xwininfo -name painted >/dev/null 2>&1; do sleep 0.01; done
  starts+=($(($(now_ms) - begin)))
  if [ "$run" -eq 5 ]; then
    sleep 2
    echo "web-app process: $(rss_kb "$app") kB resident"
    for child in $(pgrep -P "$app"); do
      echo "$(tr '\0' ' ' <"/proc/$child/cmdline" | awk '{print $1}' | xargs basename): $(rss_kb "$child") kB resident"
    done
  fi
  kill "$app"
  wait "$app" 2>/dev/null || true
done
sorted=$(printf '%s\n' "${starts[@]}" | sort -n)
echo "start to first paint: $(sed -n 3p <<<"$sorted") ms median (runs: ${starts[*]})"

build/default/quillon 2>"$workdir/quillon.log" &
menubar=$!
sleep 3
echo "menu-bar process: $(rss_kb "$menubar") kB resident"
if grep -q -e webkit -e javascriptcore "/proc/$menubar/maps"; then
  echo "menu-bar process maps WebKit"
else
  echo "menu-bar process maps no WebKit library"
fi
kill "$menubar"
