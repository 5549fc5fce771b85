#!/usr/bin/env bash
# Sets up what the build needs, builds the program, generates the bundled
# example site (English and Spanish) without a window in a copy under
# build/, and says where the pages are and how to open the window.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/setup.sh

dir=build/plain
cmake -S . -B "$dir" >/dev/null
cmake --build "$dir" -j "$(nproc)" --target vellumcraft
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
exit "$status"
