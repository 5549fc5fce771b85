#!/usr/bin/env bash
# Sets up what the build needs, builds twice (plain, and with the address and
# undefined-behaviour sanitizers) and runs every test of both builds.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/setup.sh

jobs=$(nproc)
for kind in plain sanitize; do
  dir=build/$kind
  flags=()
  [ "$kind" = sanitize ] && flags=(-DVK_SANITIZE=ON)
  cmake -S . -B "$dir" "${flags[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure -j "$jobs")
done
