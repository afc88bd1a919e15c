#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Quillon, and runs the whole suite
# twice: on the default build, then under AddressSanitizer and
# UndefinedBehaviorSanitizer. Last, it builds as a packager would and checks
# the Debian package that build makes.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
for preset in default sanitize; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

started=$SECONDS
bash scripts/package.sh
bash scripts/check-package.sh build/package/quillon_*.deb
echo "test: the release build and its package took $((SECONDS - started)) s"
