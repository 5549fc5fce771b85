#!/usr/bin/env bash
# Whole-program generation speed on the benchmark site (make_site.sh beside
# this file: N pages in sections of ten subsections, five languages, a frame
# of 60 lines). Three cases: a rebuild over the pages already there (none
# changes), a rebuild after one line of the frame was edited (every page
# changes), and a build into an empty output folder. Prints for each the median wall time,
# pages per second, system calls per page (when strace is installed) and
# peak memory (when /usr/bin/time is installed).
# usage: bench/site_bench.sh PROGRAM [PAGES=420] [RUNS=7]
set -eu
prog=$(readlink -f "$1"); pages=${2:-420}; runs=${3:-7}; here=$(dirname "$(readlink -f "$0")")
w=$(mktemp -d); trap 'rm -rf "$w"' EXIT
"$here/make_site.sh" "$pages" "$w/site" >/dev/null
args=(--no-window --frame tpl/frame.html --tree site/data/src/tree.txt --lang en,es,fr,de,it --overwrite all)
run() { (cd "$w/site" && "$@" "$prog" "${args[@]}" >/dev/null 2>&1); }
empty() { find "$w/site/site" -mindepth 1 -maxdepth 1 ! -name data -exec rm -rf {} +; }
edits=0
edit() { edits=$((edits + 1)); sed -i "s|^<p>\[2+3\] \[10/4\].*|<p>[2+3] [10/4] edit $edits</p>|" "$w/site/tpl/frame.html"; }
# What each case does before a timed run.
prepare() { case $1 in empty) empty;; edited) edit;; esac; }
ms() { local s e; s=$(date +%s%N); run; e=$(date +%s%N); echo $(((e - s) / 1000000)); }
median() { sort -n | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}'; }
run   # warm-up, and the pages a rebuild finds
written=$(find "$w/site/site" -name '*.html' | wc -l)
echo "site: $written pages written per run"
for case in rebuild edited empty; do
  : >"$w/times"
  for _ in $(seq "$runs"); do
    prepare $case
    ms >>"$w/times"
  done
  t=$(median <"$w/times")
  line="$case: $(awk -v t="$t" 'BEGIN{printf "%.3f", t/1000}') s, $(awk -v t="$t" -v n="$written" 'BEGIN{printf "%.0f", n*1000/t}') pages/s"
  if command -v strace >/dev/null; then
    prepare $case
    run strace -f -c -o "$w/strace"
    calls=$(awk '$NF == "total" {print $4}' "$w/strace")  # % time, seconds, usecs/call, calls
    line="$line, $(awk -v c="$calls" -v n="$written" 'BEGIN{printf "%.2f", c/n}') system calls per page"
  fi
  if [ -x /usr/bin/time ]; then
    prepare $case
    run /usr/bin/time -f %M -o "$w/mem"
    line="$line, peak memory $(awk '{printf "%.1f", $1/1024}' "$w/mem") MiB"
  fi
  echo "$line (median of $runs)"
done
