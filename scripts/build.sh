#!/usr/bin/env bash
# Configures (once) and builds one CMake preset into build/<preset>.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-native}
if [ ! -f "build/$preset/build.ninja" ]; then
  cmake --preset "$preset" >/dev/null
fi
cmake --build "build/$preset" -- -j"$(nproc)" >"build/$preset.build.log" 2>&1 || {
  tail -n 60 "build/$preset.build.log" >&2
  echo "build of preset '$preset' failed (full log: build/$preset.build.log)" >&2
  exit 1
}
echo "built preset '$preset'"
