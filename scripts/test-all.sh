#!/usr/bin/env bash
# Builds every flavour and runs every test suite; each suite leaves a JUnit
# report in build/reports, and the summary at the end counts them all.
#   scripts/test-all.sh            every flavour
#   scripts/test-all.sh native     the Linux builds (native, asan, tsan) only
#   scripts/test-all.sh windows    the Windows build under Wine only
set -uo pipefail
selection=${1:-all}
case "$selection" in all|native|windows) ;; *) sed -n '4,6p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;; esac
cd "$(dirname "$0")/.."
reports=build/reports
rm -rf "$reports"; mkdir -p "$reports"
failed=0

# The Windows programs run under Wine in a prefix of their own, made afresh
# for each run (the same one that `ctest --preset windows` uses).
export WINEPREFIX=$PWD/build/windows/wineprefix
source scripts/wine-env.sh

timed() {  # name, then a command: runs it and notes how long it took
  local name=$1 start=$SECONDS; shift
  "$@"
  local rc=$?
  echo "$name: $((SECONDS - start)) s" >> "$reports/timings.txt"
  return $rc
}

build() {  # preset
  timed "build $1" scripts/build.sh "$1" && return 0
  echo "BUILD FAILED: $1" >> "$reports/errors.txt"; failed=1; return 1
}

run_ctest() {  # preset
  local preset=$1 retry=()
  # Wine's server now and then kills a program that has already finished its
  # work (seen about once in a hundred runs, exit by SIGKILL with no output);
  # a case is run again up to twice before it counts as failed.
  [ "$preset" = windows ] && retry=(--repeat until-pass:3)
  # The outer limit only catches a run that hangs as a whole; each case has
  # its own limit.
  timed "unit $preset" timeout --kill-after=30 3000 \
      ctest --preset "$preset" -j2 --timeout 600 "${retry[@]}" --output-junit "$PWD/$reports/unit-$preset.xml" \
      > "build/$preset.ctest.log" 2>&1
  local rc=$?
  if [ $rc -ne 0 ]; then tail -n 80 "build/$preset.ctest.log"; failed=1; fi
  if [ $rc -eq 124 ] || [ $rc -eq 137 ]; then echo "TIMED OUT: unit $preset" >> "$reports/errors.txt"; fi
  tail -n 3 "build/$preset.ctest.log"
}

run_pytest() {  # name, then pytest arguments
  local name=$1; shift
  timed "$name" timeout --kill-after=30 1800 \
      /usr/bin/python3 -m pytest -q -p no:cacheprovider --junitxml="$reports/$name.xml" "$@" \
      > "build/$name.pytest.log" 2>&1
  local rc=$?
  # 5: nothing collected, which the summary shows as an empty suite.
  if [ $rc -ne 0 ] && [ $rc -ne 5 ]; then tail -n 80 "build/$name.pytest.log"; failed=1; fi
  if [ $rc -eq 124 ] || [ $rc -eq 137 ]; then echo "TIMED OUT: $name" >> "$reports/errors.txt"; fi
  tail -n 1 "build/$name.pytest.log"
}

have_suite() { ls "$1"/test_*.py >/dev/null 2>&1; }
wanted() { [ "$selection" = all ] || [ "$selection" = "$1" ]; }

# First of all: the host's folders include one another only downward.
if ! timed "layers" /usr/bin/python3 scripts/check-layers.py; then
  echo "LAYERS: an include goes against the layer order (scripts/check-layers.py)" >> "$reports/errors.txt"
  failed=1
fi

if wanted native; then
  for preset in native asan tsan; do
    build "$preset" && run_ctest "$preset"
  done
fi

windows_built=0
if wanted windows && build windows; then
  windows_built=1
  if timed "wine prefix" scripts/wine-prefix.sh fresh; then
    run_ctest windows
  else
    echo "WINE PREFIX FAILED: $WINEPREFIX" >> "$reports/errors.txt"; failed=1
  fi
  run_pytest folder-windows browser/test/windows --build build/windows
  # The MSI in a prefix of its own: installed, used, upgraded and removed.
  run_pytest package-windows browser/test/package_windows --build build/windows
fi

if have_suite browser/test/e2e; then
  wanted native && run_pytest e2e-native browser/test/e2e --flavor native --bin build/native/bin
  # The same suite against the sanitizer builds of the host and stand-ins.
  wanted native && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
      UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      run_pytest e2e-asan browser/test/e2e --flavor native --bin build/asan/bin --slowdown 4
  wanted native && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
      run_pytest e2e-tsan browser/test/e2e --flavor native --bin build/tsan/bin --slowdown 4
  [ $windows_built = 1 ] && run_pytest e2e-windows browser/test/e2e --flavor windows --bin build/windows/bin
fi
wanted windows && scripts/wine-prefix.sh stop
# Every fuzz target fuzzes briefly, so each run looks for new faults and
# replays the inputs that once failed.
if wanted native; then
  timed "fuzz" timeout --kill-after=30 1500 /usr/bin/python3 browser/test/fuzz/run_fuzzers.py \
      --seconds "${FUZZ_SMOKE_SECONDS:-10}" --junit "$reports/fuzz.xml" > build/fuzz.log 2>&1
  rc=$?
  if [ $rc -ne 0 ]; then tail -n 80 build/fuzz.log; failed=1; fi
  if [ $rc -eq 124 ] || [ $rc -eq 137 ]; then echo "TIMED OUT: fuzz" >> "$reports/errors.txt"; fi
  [ -f "$reports/fuzz.xml" ] || echo "FUZZ FAILED: see build/fuzz.log" >> "$reports/errors.txt"
  grep ' runs in ' build/fuzz.log
fi
if wanted native && have_suite browser/test/chromium; then
  run_pytest chromium browser/test/chromium --bin build/native/bin
fi
# The Debian package, installed with dpkg (as root) and used by Chromium and Firefox.
wanted native && run_pytest package-linux browser/test/package_linux --build build/native

echo; echo "== timings =="; cat "$reports/timings.txt"
/usr/bin/python3 scripts/summarize-reports.py "$reports" || failed=1
exit $failed
