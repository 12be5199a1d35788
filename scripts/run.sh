#!/usr/bin/env bash
# Sets up, builds and starts Tiltdeck: on the RS-485 adapter when one is
# attached, otherwise on the simulated demo bus. Arguments go to tiltdeck
# (tiltdeck --help lists them) and then decide the bus themselves.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh normal
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "tiltdeck: no display (DISPLAY and WAYLAND_DISPLAY are empty); run it on a desktop, or as 'xvfb-run -a scripts/run.sh' or 'QT_QPA_PLATFORM=offscreen scripts/run.sh'" >&2
  exit 1
fi
if [ $# -eq 0 ]; then
  if adapter=$(build/bin/tiltdeck --detect-adapter 2>/dev/null); then
    echo "AISG adapter found on $adapter"
    exec build/bin/tiltdeck
  fi
  echo "No AISG adapter found: starting on the simulated demo bus (tiltdeck --demo). Ctrl+F5 scans it."
  exec build/bin/tiltdeck --demo
fi
exec build/bin/tiltdeck "$@"
