#!/usr/bin/env bash
# Sets up, builds and starts Tiltdeck.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh normal
exec build/bin/tiltdeck "$@"
