#!/usr/bin/env bash
# Measures the clipboard history pop-up on the live desktop: the time from
# the ⌥⇧V chord typed at a second keyboard to the menu mapped at the
# pointer, as the live test sees it on its private Xvfb display with
# openbox (each run starts the product afresh). Prints every run and the
# median.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-10}"
cmake --build --preset default --target quillon quillon_tests >/dev/null
times=$(build/default/quillon_tests \
  --gtest_filter='X11ClipboardTest.ThePopUpOpensAtThePointerAndAPickPastesIntoTheGtkEntry' \
  --gtest_repeat="$runs" 2>&1 | sed -n 's/^hotkey to pop-up shown: \([0-9]*\) ms$/\1/p' | sort -n)
if [ -z "$times" ]; then
  echo "no measurement (is Xvfb installed?)"
  exit 1
fi
echo "hotkey to pop-up shown, ms: $(echo "$times" | tr '\n' ' ')"
count=$(echo "$times" | wc -l)
echo "median of $count: $(echo "$times" | sed -n "$(((count + 1) / 2))p") ms"
