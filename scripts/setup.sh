#!/usr/bin/env bash
# Installs the Debian 12 packages Quillon builds, tests and benchmarks with.
# Safe to run again: packages already present are left alone and the package
# lists are refreshed at most once per run, only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  libplist-dev libxkbcommon-dev xkb-data libicu-dev nlohmann-json3-dev libcairo2-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # Web apps: icon downloads, drawing and image decoding.
  libcurl4-openssl-dev libcairo2-dev libgdk-pixbuf-2.0-dev
  # Word lists for the layout-correction quality report in bench/.
  wamerican hunspell-ru
  # Dictionary correction: hunspell dictionaries expanded at build time into
  # tries the program reads.
  hunspell-en-us hunspell-tools marisa libmarisa-dev
  # The live X11 backend, and the Xvfb desktop its tests and demo run on.
  libx11-dev libx11-xcb-dev libxi-dev libxtst-dev libxfixes-dev libxkbcommon-x11-dev libxkbregistry-dev libglib2.0-dev
  xvfb openbox x11-xkb-utils dbus
  # The live desktop's shell: tray icon and menu, HUD, clipboard, sounds, autostart entry.
  libgtk-3-dev libayatana-appindicator3-dev libcanberra-dev desktop-file-utils dbus-x11
  # Keep-awake, the lid and the power source: logind's locks, UPower, DPMS,
  # and logind and UPower played on a private bus in the tests.
  libxext-dev python3-dbusmock
  # Web apps on the live desktop: the web engine their module links (their
  # launchers are checked by desktop-file-utils, above).
  libwebkit2gtk-4.1-dev
  # Clipboard history tests: the GTK entry, terminal and clipboard-owner
  # clients the tests run beside the product, and the screen reader's view
  # of its pop-up menu.
  python3 python3-gi gir1.2-gtk-3.0 gir1.2-atspi-2.0
  # Desktop folder icons (GIO metadata, the gio tool the tests read it with)
  # and folder peek (file managers' items through the accessibility bus, and
  # a real file manager for the tests to peek over).
  gvfs gvfs-daemons libglib2.0-bin libatspi2.0-dev at-spi2-core nemo
  # The Debian package: its library dependencies, its checks, and the icon's
  # sizes redrawn from its SVG (scripts/render-icons.sh).
  dpkg-dev file lintian librsvg2-bin
  # Live capture: recordings encoded by ffmpeg, the microphone found through
  # pactl; the tests' own sound server and ffprobe to read what was written.
  ffmpeg pulseaudio-utils pulseaudio
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

sudo_if_needed=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_if_needed=(sudo)
fi

echo "setup: installing ${missing[*]}"
"${sudo_if_needed[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_if_needed[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
