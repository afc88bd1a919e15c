#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Quillon, and runs its main job on
# the simulated desktop: the tour script, which shows what works so far.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset default
cmake --build --preset default --target quillon
build/default/quillon --simulate tour/tour.qsim
printf 'set dictionaryCorrectionEnabled true\ndictionaries\nkeys us k.,k. \nwait 0.5\ntext\n' | build/default/quillon --simulate # dictionary mode: "люблю"
