#!/usr/bin/env bash
# The project's one entry point.
#   ./run.sh demo    build the host and play a short extension session
#   ./run.sh test    install what is missing, build every flavour, run every test
#   ./run.sh build [preset]   configure and build one preset (default: native)
#   ./run.sh package   build the Windows MSI and the Debian package into dist/
#   ./run.sh fuzz [seconds]   build the fuzz targets and run each that long (default: 300)
set -euo pipefail
cd "$(dirname "$0")"

case "${1:-}" in
  demo)
    scripts/install-deps.sh native
    scripts/build.sh native
    exec /usr/bin/python3 browser/tools/demo.py --bin build/native/bin
    ;;
  test)
    scripts/install-deps.sh all
    exec scripts/test-all.sh
    ;;
  build)
    scripts/install-deps.sh "$([ "${2:-native}" = windows ] && echo windows || echo native)"
    exec scripts/build.sh "${2:-native}"
    ;;
  package)
    scripts/install-deps.sh package
    scripts/build.sh windows
    scripts/build.sh native-release
    /usr/bin/python3 packaging/build_packages.py msi --build build/windows --out dist
    exec /usr/bin/python3 packaging/build_packages.py deb --build build/native-release --out dist
    ;;
  fuzz)
    scripts/install-deps.sh fuzz
    exec /usr/bin/python3 browser/test/fuzz/run_fuzzers.py --seconds "${2:-300}"
    ;;
  *)
    sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac
