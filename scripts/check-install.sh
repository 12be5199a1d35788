#!/usr/bin/env bash
# Installs a build into a scratch folder (DESTDIR, prefix /usr) and checks
# what the package is made of: every file in its place and nothing else,
# the menu entry and the AppStream metainfo valid, the manual pages
# rendering without warnings and naming every option of their program's
# --help, the icon's PNG sizes, the bash completion loading, and the staged
# programs running from the staged tree (aldsim finding its sites there).
#   check-install.sh [BUILD_DIR]     (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(realpath "${1:-build}")"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install "$build" --prefix /usr >/dev/null
root="$stage/usr"
failures=0
fail() {
  echo "staged install: $*" >&2
  failures=$((failures + 1))
}

sizes=(16 24 32 48 64 128 256)
expected=(
  bin/aldsim bin/tiltdeck bin/tiltdeck-cli
  share/applications/tiltdeck.desktop
  share/bash-completion/completions/tiltdeck-cli
  share/doc/tiltdeck/changelog.gz share/doc/tiltdeck/copyright
  share/icons/hicolor/scalable/apps/tiltdeck.svg
  share/man/man1/aldsim.1.gz share/man/man1/tiltdeck-cli.1.gz share/man/man1/tiltdeck.1.gz
  share/metainfo/org.tiltdeck.tiltdeck.metainfo.xml
  share/tiltdeck/samples/antenna.cfg share/tiltdeck/samples/firmware.css
  share/tiltdeck/sites/demo.json share/tiltdeck/sites/site16.json share/tiltdeck/sites/site64.json
  share/tiltdeck/wireshark/aisg.lua
)
for size in "${sizes[@]}"; do expected+=("share/icons/hicolor/${size}x${size}/apps/tiltdeck.png"); done

# Every file in its place, not empty, and nothing installed that is not listed.
for file in "${expected[@]}"; do
  [ -s "$root/$file" ] || fail "missing or empty: /usr/$file"
done
for program in tiltdeck tiltdeck-cli aldsim; do
  [ -x "$root/bin/$program" ] || fail "not executable: /usr/bin/$program"
done
unexpected=$(comm -13 <(printf '%s\n' "${expected[@]}" | sort) <(cd "$root" && find . -type f | sed 's|^\./||' | sort))
[ -z "$unexpected" ] || fail "installed but not expected: $unexpected"

desktop-file-validate "$root/share/applications/tiltdeck.desktop" || fail "desktop entry does not validate"
appstreamcli validate --no-net "$root/share/metainfo/org.tiltdeck.tiltdeck.metainfo.xml" >/dev/null ||
  fail "metainfo does not validate: $(appstreamcli validate --no-net "$root/share/metainfo/org.tiltdeck.tiltdeck.metainfo.xml")"
grep -q '^Exec=tiltdeck$' "$root/share/applications/tiltdeck.desktop" || fail "menu entry does not start tiltdeck"

# A PNG's width and height are the big-endian words at octets 16 and 20.
for size in "${sizes[@]}"; do
  read -r w h < <(od -An -tu1 -j16 -N8 "$root/share/icons/hicolor/${size}x${size}/apps/tiltdeck.png" |
    awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
  [ "$w $h" = "$size $size" ] || fail "icon ${size}x${size} is ${w}x${h}"
done

# The pages render cleanly, and name every option their program's --help
# gives; the staged programs run from the staged tree.
export QT_QPA_PLATFORM=offscreen
for program in tiltdeck tiltdeck-cli aldsim; do
  page="$root/share/man/man1/$program.1.gz"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || fail "man $program fails"
  [ -z "$warnings" ] || fail "man $program warns: $warnings"
  help=$("$root/bin/$program" --help 2>&1) || fail "staged $program --help fails"
  case "$help" in "usage: $program "*) ;; *) fail "staged $program --help says: ${help:0:80}" ;; esac
  text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$page" 2>/dev/null | sed 's/\x1b\[[0-9;]*m//g; s/.\x08//g')
  for option in $(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
    grep -q -- "$option" <<<"$text" || fail "man $program does not describe $option of its --help"
  done
done
for command in scan info alarms tilt calibrate tma field download selftest reset clear-alarms report run trace2pcap; do
  "$root/bin/tiltdeck-cli" "$command" --help >/dev/null || fail "staged tiltdeck-cli $command --help fails"
done

work=$(cd "$stage" && mktemp -d -p .)
(cd "$stage/$work" && "$root/bin/aldsim" --site site64 --write-site site.json 2>&1) >/dev/null ||
  fail "staged aldsim does not find its site site64"
[ "$(grep -c '"uniqueId"' "$stage/$work/site.json" 2>/dev/null)" = 64 ] || fail "staged aldsim wrote no 64-device site"

completion=$(bash -c "source '$root/share/bash-completion/completions/tiltdeck-cli' && complete -p tiltdeck-cli &&
  COMP_WORDS=(tiltdeck-cli --port /dev/ttyUSB0 field 3 get antenna-max) COMP_CWORD=6 && _tiltdeck_cli &&
  echo \"\${COMPREPLY[*]}\"" 2>&1) || fail "completion does not load: $completion"
grep -q "antenna-max-tilt" <<<"$completion" || fail "completion offers no field names: $completion"

if [ "$failures" -gt 0 ]; then
  echo "staged install: $failures failures" >&2
  exit 1
fi
echo "staged install: ${#expected[@]} files in place, desktop entry, metainfo, manual pages, completion and programs good"
