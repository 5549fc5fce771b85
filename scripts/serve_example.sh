#!/usr/bin/env bash
# Serves the bundled example site with examples/bilingual/apache.conf from a
# private Apache on 127.0.0.1 and checks with curl what a visitor gets: the
# home pages in both languages through the type map with their menus
# included, the menu's links, the flags, and none of the sources, settings
# or the log. Prints one line per check and "N passed, M failed"; the exit
# status is 0 only when every check passed.
#
# The example is generated afresh into a temporary folder by the program
# $VELLUMCRAFT (default build/plain/vellumcraft, which scripts/run.sh
# builds; this script runs scripts/run.sh when it is missing). Apache
# (Debian's apache2, installed when missing, as root) runs with its own
# ServerRoot, pid file and logs in that folder, listens on a free high port
# of 127.0.0.1 only, and is stopped at the end; the system's Apache is left
# alone.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

missing=()
[ -x /usr/sbin/apache2 ] || missing+=(apache2)
command -v curl >/dev/null || missing+=(curl)
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "serve_example.sh: missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

program=${VELLUMCRAFT:-$repo/build/plain/vellumcraft}
if [ ! -x "$program" ]; then
  scripts/run.sh >/dev/null
fi

tmp=$(mktemp -d "${TMPDIR:-/tmp}/vellumcraft-serve.XXXXXX")
chmod 755 "$tmp"  # Apache's children run as another user when started as root
apache_pid=
stop_apache() {
  if [ -n "$apache_pid" ]; then
    kill -TERM "$apache_pid" 2>/dev/null || true
    wait "$apache_pid" 2>/dev/null || true
    apache_pid=
  fi
}
trap 'stop_apache; rm -rf "$tmp"' EXIT
trap 'exit 1' INT TERM HUP  # the background Apache ignores Ctrl-C: the EXIT trap stops it

# The example, generated as scripts/run.sh generates it.
site=$tmp/site
cp -r examples/bilingual "$site"
chmod -R a+rX "$site"
if ! counts=$(cd "$site" && "$program" --no-window --lang en,es --overwrite all 2>"$tmp/run.err"); then
  cat "$tmp/run.err" >&2
  echo "serve_example.sh: the example could not be generated" >&2
  exit 1
fi
chmod -R a+rX "$site"

modules=/usr/lib/apache2/modules
write_conf() {  # port
  {
    echo "ServerRoot \"$tmp\""
    echo "DefaultRuntimeDir \"$tmp\""
    echo "PidFile \"$tmp/apache2.pid\""
    echo "ErrorLog \"$tmp/error.log\""
    echo "LogLevel warn"
    echo "Listen 127.0.0.1:$1"
    echo "ServerName 127.0.0.1"
    if [ "$(id -u)" -eq 0 ]; then
      local user=www-data
      id "$user" >/dev/null 2>&1 || user=nobody
      echo "User $user"
      echo "Group $(id -gn "$user")"
    fi
    for m in mpm_event authz_core mime dir negotiation include; do
      echo "LoadModule ${m}_module $modules/mod_$m.so"
    done
    if [ -r /etc/mime.types ]; then echo "TypesConfig /etc/mime.types"; else echo "TypesConfig /dev/null"; fi
    echo "AddType text/html .html"
    echo "AddType image/gif .gif"
    echo "<Directory />"
    echo "    AllowOverride None"
    echo "    Require all denied"
    echo "</Directory>"
    echo "Define VELLUMCRAFT_SITE \"$site\""
    echo "<VirtualHost 127.0.0.1:$1>"
    echo "    Include \"$repo/examples/bilingual/apache.conf\""
    echo "</VirtualHost>"
  } >"$tmp/apache2.conf"
}

curl_() { curl -sS --noproxy '*' --max-time 10 "$@"; }

# A free high port: one nothing answers on, and that Apache could bind.
port=
for _ in 1 2 3 4 5 6 7 8; do
  try=$((20000 + RANDOM % 40000))
  if (exec 3<>"/dev/tcp/127.0.0.1/$try") 2>/dev/null; then continue; fi
  write_conf "$try"
  /usr/sbin/apache2 -f "$tmp/apache2.conf" -DFOREGROUND >>"$tmp/start.log" 2>&1 &
  apache_pid=$!
  for _ in $(seq 50); do
    if ! kill -0 "$apache_pid" 2>/dev/null; then break; fi
    if curl_ -o /dev/null "http://127.0.0.1:$try/" 2>/dev/null; then port=$try; break; fi
    sleep 0.2
  done
  [ -n "$port" ] && break
  stop_apache
done
if [ -z "$port" ]; then
  cat "$tmp/start.log" "$tmp/error.log" 2>/dev/null >&2 || true
  echo "serve_example.sh: Apache did not start" >&2
  exit 1
fi
base=http://127.0.0.1:$port

passed=0
failed=0
check() {  # description, then the test command
  local what=$1
  shift
  if "$@"; then
    echo "ok   $what"
    passed=$((passed + 1))
  else
    echo "FAIL $what"
    failed=$((failed + 1))
  fi
}

# GET path [curl options...]: the body into $tmp/body, the status into $code.
get() {
  local path=$1
  shift
  code=$(curl_ -o "$tmp/body" -w '%{http_code}' "$@" "$base$path" 2>/dev/null) || code=000
}
has() { LC_ALL=C grep -qF -- "$1" "$tmp/body"; }
# The page that was fetched is whole: a 200 with its menu included (the
# navigation list of the language), and no include left or failed.
page_ok() {  # language suffix
  [ "$code" = 200 ] && has '<ul id="navbar">' && has "<li><a href=\"/index$1.html\">" &&
    ! has '<!--#include' && ! has 'error occurred while processing'
}

check "the example was generated (Written: 20)" test "$counts" = $'Written: 20\nAvoids: 0'

home() {  # Accept-Language, language code, suffix, a menu link that must be there
  get / -H "Accept-Language: $1"
  page_ok "$3" && has "<html lang=\"$2\">" && has "$4"
}
check "/ with Accept-Language en: the English home page with its menu" \
  home en en _en '<a href="/about/index_en.html">About us</a>'
en_home=$(cat "$tmp/body")
check "/ with Accept-Language es: the Spanish home page with its menu" \
  home es es _es '<a href="/about/index_es.html">Qui&eacute;nes somos</a>'
es_home=$(cat "$tmp/body")
check "/ with Accept-Language fr: the English home page, not 406" \
  home fr en _en '<a href="/about/index_en.html">About us</a>'

# Every link of each home page's menu leads to a page that has its menu.
menu_links() {  # page text: the hrefs of its navigation list
  printf '%s\n' "$1" | sed -n '/<ul id="navbar">/,/^<\/ul>/p' | grep -o 'href="/[^"]*"' | sed 's/^href="//; s/"$//'
}
followed=0
pages=(/ /sitemap_en.html /sitemap_es.html)
for link in $(menu_links "$en_home") $(menu_links "$es_home"); do
  suffix=
  [[ $link =~ (_[a-z][a-z])\.html$ ]] && suffix=${BASH_REMATCH[1]}
  get "$link"
  check "menu link $link: 200 with its menu" page_ok "$suffix"
  followed=$((followed + 1))
  pages+=("$link")
done
check "the home pages' menus hold 18 links" test "$followed" = 18
for map in /sitemap_en.html /sitemap_es.html; do
  get "$map"
  check "site map $map: 200 with its menu" page_ok "${map:8:3}"
done

# Every link and image on those pages and the site maps (the breadcrumbs,
# the flags' links, the site maps' relative links) answers 200.
resolve() {  # page path, href: the path the href leads to from the page
  local p=$2
  [[ $p == /* ]] || p=${1%/*}/$p
  local q
  while q=$(sed 's#/[^/.][^/]*/\.\./#/#; s#/\./#/#' <<<"$p") && [ "$q" != "$p" ]; do p=$q; done
  echo "$p"
}
: >"$tmp/targets"
for page in "${pages[@]}"; do
  get "$page" -H 'Accept-Language: en'
  for ref in $(LC_ALL=C grep -oE '(href|src)="[^"#]+"' "$tmp/body" | sed -E 's/^(href|src)="//; s/"$//'); do
    case $ref in *:*) continue ;; esac  # another site
    resolve "$page" "$ref" >>"$tmp/targets"
  done
done
broken=()
targets=0
for target in $(sort -u "$tmp/targets"); do
  targets=$((targets + 1))
  get "$target"
  [ "$code" = 200 ] || broken+=("$target ($code)")
done
check "the $targets pages and images those pages lead to answer 200${broken:+; not: ${broken[*]}}" \
  test "${#broken[@]}" = 0

# The flags the pages show.
flags=$(printf '%s\n' "$en_home" | grep -o 'src="/[^"]*"' | sed 's/^src="//; s/"$//' | sort -u || true)
check "the English home page shows two flags" test "$(wc -w <<<"$flags")" = 2
for src in $flags; do
  get "$src"
  check "flag image $src: 200, a GIF" eval '[ "$code" = 200 ] && [ "$(head -c 6 "$tmp/body")" = GIF89a ]'
done

# Not served: the sources, the settings, the log, the fragments on their
# own, the server's configuration, folder listings.
for path in /source/macros.txt /source/tree/treeVars.txt /source/tree/tree.txt /source/tree/tree_es.txt \
  /source/templates/frame.html /config.txt /source/templates/Vellumkit.log \
  /source/templates/Vellumcraft_hmenu_en.txt /source/templates/Vellumcraft_vmenu_es.txt /apache.conf \
  /source/ /source/templates/ /images/; do
  get "$path"
  check "$path: not served ($code)" eval '[ "$code" = 403 ] || [ "$code" = 404 ]'
done

stop_apache
# On a failure, Apache's errors (less its notices and the denials asked for).
errors=$(grep -v ':notice\]\|AH01630' "$tmp/error.log" 2>/dev/null | tail -n 20 || true)
if [ "$failed" -ne 0 ] && [ -n "$errors" ]; then
  echo "--- Apache's error log:"
  echo "$errors"
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
