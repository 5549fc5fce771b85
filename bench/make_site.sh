#!/usr/bin/env bash
# Builds the benchmark site: N pages in sections of ten
# subsections of ten pages (three levels), five languages, a frame of 60 lines with the page's title,
# language code, breadcrumb, language selector, login links, two expressions and plain text.
# usage: make_site.sh N DIR — then: cd DIR && vellumcraft --no-window --frame tpl/frame.html \
#        --tree site/data/src/tree.txt --lang en,es,fr,de,it --overwrite all
set -eu
n=$1; dir=$2; rm -rf "$dir"; mkdir -p "$dir/tpl" "$dir/site/data/src"
langs="en es fr de it"
tree="$dir/site/data/src/tree.txt"; : > "$tree"
for l in $langs; do : > "$dir/site/data/src/tree_$l.txt"; done
i=0; last_s=-1; last_ss=-1
while [ $i -lt "$n" ]; do
  s=$((i / 100)); ss=$(((i / 10) % 10))
  if [ $s != $last_s ]; then printf 's%s\n' $s >> "$tree"; for l in $langs; do printf 's%s="Section %s %s"\n' $s $s $l >> "$dir/site/data/src/tree_$l.txt"; done; last_s=$s; last_ss=-1; fi
  if [ $ss != $last_ss ]; then printf '\ts%sss%s\n' $s $ss >> "$tree"; for l in $langs; do printf 's%sss%s="Sub %s %s"\n' $s $ss $ss $l >> "$dir/site/data/src/tree_$l.txt"; done; last_ss=$ss; fi
  printf '\t\tp%s\n' $i >> "$tree"; for l in $langs; do printf 'p%s="Page %s %s"\n' $i $i $l >> "$dir/site/data/src/tree_$l.txt"; done
  i=$((i + 1))
done
printf "RELPATH\$=''\n" > "$dir/site/data/src/treeVars.txt"
{
  echo '<html><head><title>[CURBRANCH]</title></head><body>'
  echo '<p>Lang: [LANG_ID]</p>'
  echo '<div>[CURBRANCH]</div>'
  echo '<div>[LANG_SEL(1,2)]</div>'
  echo '<p>[2+3] [10/4]</p>'
  k=0; while [ $k -lt 54 ]; do echo "<p>Plain text line $k with some words in it.</p>"; k=$((k+1)); done
  echo '</body></html>'
} > "$dir/tpl/frame.html"
