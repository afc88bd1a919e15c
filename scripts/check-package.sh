#!/usr/bin/env bash
# Checks a Debian package made by scripts/package.sh: the files it installs,
# the run-time packages it names, and that its executable runs from an
# extracted tree. Usage: check-package.sh PACKAGE.deb
set -euo pipefail

package=$1
version=$(dpkg-deb -f "$package" Version)
failures=0
fail() {
  echo "check-package: $*" >&2
  failures=$((failures + 1))
}

contents=$(dpkg-deb -c "$package" | awk '{print $NF}' | sed 's|^\./|/|')
expected=(
  /usr/bin/quillon
  /usr/share/applications/quillon.desktop
  /usr/share/icons/hicolor/scalable/apps/quillon.svg
  /usr/share/quillon/autostart/quillon.desktop
  /usr/share/man/man1/quillon.1.gz
  /usr/share/doc/quillon/copyright
  /usr/share/doc/quillon/changelog.gz
  /usr/share/quillon/en_US.marisa
  /usr/share/quillon/ru_RU.marisa
  /usr/lib/x86_64-linux-gnu/quillon/quillon-webkit.so
)
for size in 16 24 32 48 64 128 256; do
  expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/quillon.png")
done
for path in "${expected[@]}"; do
  grep -qxF "$path" <<<"$contents" || fail "missing $path"
done
unexpected=$(grep -v -e '/$' -e '^/usr/bin/quillon$' -e '^/usr/share/' \
  -e '^/usr/lib/x86_64-linux-gnu/quillon/quillon-webkit\.so$' <<<"$contents" || true)
[ -z "$unexpected" ] || fail "files outside /usr/bin, /usr/share and the web engine's module: $unexpected"

depends=$(dpkg-deb -f "$package" Depends)
for needed in libc6 libgtk-3-0 libx11-6 libxkbcommon0 libcurl4 libxkbregistry0 xkb-data libmarisa0 \
  libwebkit2gtk-4.1-0; do
  grep -qE "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed: $depends"
done

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$package" "$tree"
printed=$(env -u DISPLAY "$tree/usr/bin/quillon" --version)
[ "$printed" = "quillon $version" ] || fail "the packaged quillon --version printed '$printed'"
desktop-file-validate "$tree/usr/share/applications/quillon.desktop" ||
  fail "the desktop entry does not validate"
gzip -t "$tree/usr/share/man/man1/quillon.1.gz" || fail "the manual page is not gzip"

if [ "$failures" -ne 0 ]; then
  exit 1
fi
echo "check-package: $package holds ${#expected[@]} expected files and runs as quillon $version"
