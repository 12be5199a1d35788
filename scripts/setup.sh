#!/usr/bin/env bash
# Installs the Debian packages Tiltdeck needs. Quick when they are present.
# "setup.sh package" adds what building the Debian package needs.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  clang libclang-rt-14-dev clang-format clang-tidy
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-serialport-dev libgl-dev
  nlohmann-json3-dev
  tshark
  xvfb xauth
  # The end-to-end test that drives the window as a screen reader or an
  # automation tool would: the accessibility bus and its client library, on
  # a private session bus.
  libatspi2.0-dev at-spi2-core dbus-daemon
  # The icon's PNG sizes, and the checks of the staged install: the desktop
  # entry, the metainfo, the manual pages.
  librsvg2-bin desktop-file-utils appstream man-db
)
if [ "${1:-}" = "package" ]; then
  PACKAGES+=(dpkg-dev fakeroot lintian)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  # tshark asks whether users other than root may capture; nothing here
  # captures from interfaces, so no.
  echo "wireshark-common wireshark-common/install-setuid boolean false" | $SUDO debconf-set-selections
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
