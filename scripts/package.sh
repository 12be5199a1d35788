#!/usr/bin/env bash
# Builds the Debian package of Tiltdeck into build-deb/ with the compiler
# and linker flags Debian builds its packages with, and checks it with
# lintian. The package is build-deb/tiltdeck_VERSION_ARCH.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh package

jobs="${TILTDECK_JOBS:-$(nproc)}"
dir=build-deb
opts=()
command -v ccache >/dev/null && opts+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# Hardening (stack protector, fortified functions, read-only relocations,
# immediate binding) as dpkg-buildflags gives it for every Debian package.
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DTILTDECK_TESTS=OFF \
  -DCMAKE_STRIP="$PWD/cmake/strip-package.sh" \
  "${opts[@]}" >/dev/null
cmake --build "$dir" -j "$jobs"
rm -f "$dir"/tiltdeck_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/tiltdeck_*.deb)
echo "== $deb"
dpkg-deb --field "$deb"

# Lintian's errors fail the script; its warnings are printed, and each is
# either mended or explained next to the setting that causes it.
echo "== lintian"
lintian --info --display-info "$deb" || {
  echo "lintian found errors in $deb" >&2
  exit 1
}
echo "package: $deb"
