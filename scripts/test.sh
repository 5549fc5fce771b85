#!/usr/bin/env bash
# Sets up what the build needs, builds twice (plain, with the project's
# warnings as errors; and with the address and undefined-behaviour
# sanitizers) and runs every test of both builds. The sanitizers'
# instrumentation hides value ranges from the compiler, which then warns
# about narrowing conversions it proves safe in the plain build, so there
# warnings stay warnings.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/setup.sh

jobs=$(nproc)
for kind in plain sanitize; do
  dir=build/$kind
  flags=(-DVK_WERROR=ON)
  [ "$kind" = sanitize ] && flags=(-DVK_SANITIZE=ON -DVK_WERROR=OFF)
  cmake -S . -B "$dir" "${flags[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure -j "$jobs")
done
