#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Quillon, and runs the whole suite
# twice: on the default build, then under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
for preset in default sanitize; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
