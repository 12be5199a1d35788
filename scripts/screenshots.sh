#!/usr/bin/env bash
# Pictures of the program for the README: starts it under Xvfb on the
# simulated demo site, scans, and writes docs/main-window.png,
# docs/options-dialog.png, a device window of each kind
# (docs/device-single-ret.png, device-multi-ret.png, device-tma.png) and one
# during a firmware download (docs/device-download.png). Installs and builds
# what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh normal
mkdir -p docs
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
# A home of its own: the pictures show the default layout and look, and
# the user's settings and trace file stay untouched.
HOME="$home" XDG_CONFIG_HOME="$home/.config" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1400x900x24" \
  build/bin/tiltdeck --demo --screenshot-dir "$PWD/docs"
ls -l docs/main-window.png docs/options-dialog.png docs/device-single-ret.png docs/device-multi-ret.png \
  docs/device-tma.png docs/device-download.png
