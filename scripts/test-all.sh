#!/usr/bin/env bash
# Builds every flavour and runs every test suite; each suite leaves a JUnit
# report in build/reports, and the summary at the end counts them all.
set -uo pipefail
cd "$(dirname "$0")/.."
reports=build/reports
rm -rf "$reports"; mkdir -p "$reports"
failed=0

run_unit() {  # preset
  local preset=$1
  scripts/build.sh "$preset" || { echo "BUILD FAILED: $preset" >> "$reports/errors.txt"; failed=1; return; }
  ctest --preset "$preset" -j2 --timeout 600 --output-junit "$PWD/$reports/unit-$preset.xml" \
      > "build/$preset.ctest.log" 2>&1 || { tail -n 80 "build/$preset.ctest.log"; failed=1; }
  tail -n 3 "build/$preset.ctest.log"
}

run_pytest() {  # name, then pytest arguments
  local name=$1; shift
  /usr/bin/python3 -m pytest -q -p no:cacheprovider --junitxml="$reports/$name.xml" "$@" \
      > "build/$name.pytest.log" 2>&1
  local rc=$?
  # 5: nothing collected, which the summary shows as an empty suite.
  if [ $rc -ne 0 ] && [ $rc -ne 5 ]; then tail -n 80 "build/$name.pytest.log"; failed=1; fi
  tail -n 1 "build/$name.pytest.log"
}

for preset in native asan tsan; do run_unit "$preset"; done
run_unit windows

if [ -d browser/test/e2e ] && ls browser/test/e2e/test_*.py >/dev/null 2>&1; then
  run_pytest e2e-native browser/test/e2e --flavor native --bin build/native/bin
  run_pytest e2e-windows browser/test/e2e --flavor windows --bin build/windows/bin
fi
if [ -d browser/test/chromium ] && ls browser/test/chromium/test_*.py >/dev/null 2>&1; then
  run_pytest chromium browser/test/chromium --bin build/native/bin
fi

/usr/bin/python3 scripts/summarize-reports.py "$reports" || failed=1
exit $failed
