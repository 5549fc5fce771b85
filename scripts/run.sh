#!/usr/bin/env bash
# Sets up what the build needs, builds the program, generates the bundled
# example site (English and Spanish) without a window in a copy under
# build/, and says where the pages are and how to open the window. The
# build's output shows only when the build fails.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/setup.sh

dir=build/plain
# The build's output is shown only when the build fails.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
build_status=0
{ cmake -S . -B "$dir" && cmake --build "$dir" -j "$(nproc)" --target vellumcraft; } >"$log" 2>&1 || build_status=$?
if [ "$build_status" -ne 0 ]; then
  cat "$log" >&2
  echo "run.sh: the build failed" >&2
  exit "$build_status"
fi
program="$PWD/$dir/vellumcraft"

site=build/example-site
rm -rf "$site"
cp -r examples/bilingual "$site"
status=0
(cd "$site" && "$program" --no-window --lang en,es --overwrite all) || status=$?

echo
echo "Pages:                  $site/ (index_en.html, index_es.html, about/, products/, index.html.var)"
echo "Menu fragments and log: $site/source/templates/"
echo "Open the window:        cd $site && $program"
echo "Serve them with Apache: scripts/serve_example.sh (examples/bilingual/apache.conf)"
exit "$status"
