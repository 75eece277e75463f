#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages that a set of jobs needs and
# that are not installed yet. Sets: native, windows, package, fuzz, all.
set -euo pipefail

native=(cmake ninja-build g++ pkg-config libsodium-dev libgtest-dev libgmock-dev libbenchmark-dev
        googletest nlohmann-json3-dev python3 python3-pytest)
windows=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64)
# osslsigncode signs the Windows package; openssl makes the tests' throw-away keys.
packaging=(wixl dpkg-dev lintian osslsigncode openssl)
browser=(chromium firefox-esr)
# clang with libFuzzer and the sanitizer runtimes, for the fuzz targets.
fuzz=(clang libclang-rt-14-dev)

case "${1:-all}" in
  native)  wanted=("${native[@]}") ;;
  windows) wanted=("${native[@]}" "${windows[@]}") ;;
  package) wanted=("${native[@]}" "${windows[@]}" "${packaging[@]}") ;;
  fuzz)    wanted=("${native[@]}" "${fuzz[@]}") ;;
  all)     wanted=("${native[@]}" "${windows[@]}" "${packaging[@]}" "${browser[@]}" "${fuzz[@]}") ;;
  *) echo "usage: $0 native|windows|package|fuzz|all" >&2; exit 2 ;;
esac

missing=()
for pkg in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "missing packages: ${missing[*]}; run as root to install them" >&2
  exit 1
fi
echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
