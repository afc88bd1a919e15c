#!/usr/bin/env bash
# Builds Quillon the way a packager would (Release, no presets, the
# compiler's warnings left as warnings) and makes the Debian package with
# CPack. The package lands in build/package/; lintian must find no errors.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh >/dev/null

build=build/package
options=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr
         -DBUILD_TESTING=OFF -DQUILLON_BENCHMARKS=OFF
         # Only the executable is built; installing must not build the rest.
         -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON)
if command -v ccache >/dev/null; then
  options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
if [ ! -f "$build/CMakeCache.txt" ] && command -v ninja >/dev/null; then
  options+=(-G Ninja)
fi
cmake -S . -B "$build" "${options[@]}" >/dev/null
cmake --build "$build" --target quillon

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
if ! head -n1 data/changelog | grep -qF "quillon ($version)"; then
  echo "package: data/changelog does not start with an entry for $version" >&2
  exit 1
fi

rm -f "$build"/quillon_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
package=$(ls "$build"/quillon_"$version"_*.deb)
lintian --fail-on error "$package"
echo "$package"
