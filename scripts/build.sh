#!/usr/bin/env bash
# Configures and builds one flavour: build.sh [normal|asan|tsan|fuzz]
set -euo pipefail
cd "$(dirname "$0")/.."

flavour="${1:-normal}"
jobs="${TILTDECK_JOBS:-$(nproc)}"
case "$flavour" in
  normal) dir=build; opts=() ;;
  asan) dir=build-asan; opts=(-DTILTDECK_SANITIZE=asan) ;;
  tsan) dir=build-tsan; opts=(-DTILTDECK_SANITIZE=tsan) ;;
  fuzz) dir=build-fuzz; opts=(-DTILTDECK_FUZZ=ON -DTILTDECK_GUI=OFF -DCMAKE_CXX_COMPILER=clang++) ;;
  *) echo "unknown flavour $flavour" >&2; exit 2 ;;
esac

# A compiler cache, when the machine has one, makes rebuilds of other
# checkouts of the same sources cheap; a fresh machine builds without it.
command -v ccache >/dev/null && opts+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

werror=OFF
[ -n "${CI:-}" ] && werror=ON
cmake -S . -B "$dir" -G Ninja -DTILTDECK_WERROR="$werror" "${opts[@]}" >/dev/null
cmake --build "$dir" -j "$jobs"
