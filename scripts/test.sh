#!/usr/bin/env bash
# Sets up, checks the formatting, builds and runs the whole suite: the
# normal build, then the same tests under AddressSanitizer +
# UndefinedBehaviorSanitizer and ThreadSanitizer, then each fuzz target for
# a short bounded time. The normal build also checks a staged install of
# what the Debian package holds (the ctest test StagedInstall,
# scripts/check-install.sh) and runs the end-to-end tests once more with
# exact exchange timing.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/format.sh --check

passed=0
run_suite() {
  local flavour="$1" dir="$2"
  echo "== $flavour build"
  scripts/build.sh "$flavour"
  echo "== $flavour tests"
  (cd "$dir" && ctest --output-on-failure -j "$(nproc)" --timeout 300) | tee "$dir/ctest.log"
  local count
  count=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$dir/ctest.log")
  passed=$((passed + ${count:-0}))
}

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# Qt's libraries are not instrumented: their mutexes wait on futexes that
# ThreadSanitizer cannot see, so races are looked for in our own code only.
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1"

run_suite normal build
# The end-to-end tests once more with every answer ended by silence alone,
# as with fast exchanges switched off (about a minute on 2 cores).
echo "== normal end-to-end tests, exact timing"
TILTDECK_EXACT_TIMING=1 TILTDECK_BIN="$PWD/build/bin" build/bin/tiltdeck_tests \
  --gtest_filter='EndToEndLayer7.*:PtyStationTest.*:CliDemoSite.*:CliEntry.*:CliSession.*'
# A two-minute fault soak on the five devices of the demo site (about two
# and a half minutes in all): lost, garbled and late answers, a power cycle,
# a stuck tilt move and the adapter pulled out; its last line judges.
echo "== fault soak, two minutes"
build/bin/FaultSoak --minutes 2 --seed 1 --site demo
run_suite asan build-asan
run_suite tsan build-tsan
scripts/fuzz.sh "${TILTDECK_FUZZ_SECONDS:-30}"
echo "suite: $passed passed, 0 failed"
