#!/usr/bin/env bash
# The window list, played by demo-driver.exe: Vexaro.exe starts without a switch, lists
# the open (stand-in) browser pages all checked, and "&Download Now" is pressed twice; after each
# "Download complete!" comes "OK", and at the end the main window's close box. The save folder
# must hold what the settings take, numbered where names clash and skipped where the same file is
# there already; the history day file must hold both sessions byte for byte.
set -euo pipefail
# shellcheck source=lib/harness.bash
source "$(dirname "$0")/lib/harness.bash"

keep_beside_programs standin-windows.xml config.xml History

www=$work/www
mkdir -p "$www/album/b" "$www/misc"
head -c 3000 /dev/urandom >"$www/album/photo.jpg"
head -c 2500 /dev/urandom >"$www/album/b/photo.jpg"  # another file of the same name
head -c 100 /dev/urandom >"$www/album/dot.gif"       # below the size filter
head -c 5000 /dev/urandom >"$www/album/song.mp3"
cp "$www/album/photo.jpg" "$www/misc/photo.jpg"      # the same file on another page
head -c 4100 /dev/urandom >"$www/misc/banner.jpg"    # laid out at a listed resolution
head -c 2048 /dev/urandom >"$www/misc/movie.swf"
head -c 1800 /dev/urandom >"$work/cached.png"        # only in the browser's cache
start_server "$www"

save=$work/save
mkdir -p "$save"
write_config "$save"

"$wine_run" "$bin/cache-seed.exe" "$base/album/cached.png" "$(winpath "$work/cached.png")" \
  >"$work/seed.txt" 2>&1 || fail "the URL cache could not be seeded: $(cat "$work/seed.txt")"

# Two pages and a file-manager window, which the list leaves out; the second page is untitled.
cat >"$bin/standin-windows.xml" <<XML
<BROWSER>
<WINDOW TITLE="Album" URL="$base/album/index.html" KIND="html">
<IMG SRC="$base/album/photo.jpg" WIDTH="300" HEIGHT="200"/>
<IMG SRC="$base/album/b/photo.jpg" WIDTH="300" HEIGHT="200"/>
<IMG SRC="$base/album/cached.png" WIDTH="120" HEIGHT="90"/>
<IMG SRC="$base/album/dot.gif" WIDTH="1" HEIGHT="1"/>
<A HREF="$base/album/song.mp3"/>
<A HREF="$base/misc/index.html"/>
</WINDOW>
<WINDOW TITLE="Downloads" URL="file:///C:/Downloads" KIND="folder"/>
<WINDOW TITLE="" URL="$base/misc/" KIND="html">
<IMG SRC="$base/misc/photo.jpg" WIDTH="300" HEIGHT="200"/>
<IMG SRC="$base/misc/banner.jpg" WIDTH="640" HEIGHT="480"/>
<A HREF="$base/misc/movie.swf"/>
</WINDOW>
</BROWSER>
XML

before=$(date +%s)
drive "\"$(winpath "$bin/Vexaro.exe")\"" 2
after=$(date +%s)
grep -q '^rows=2$' "$work/report.txt" || fail "the list did not show exactly the two pages"
[ "$(grep -c '^caption=' "$work/report.txt")" = 2 ] || fail "two sessions were not seen"
! grep -q '^box=' "$work/report.txt" || fail "the run showed a message box"

# The files: numbered where names clash, the same photo on the second page skipped.
expect_saved() {
  [ -f "$save/$1" ] || fail "$1 was not saved"
  cmp -s "$save/$1" "$2" || fail "$1 differs from its source"
}
expect_saved photo.jpg "$www/album/photo.jpg"
expect_saved photo1.jpg "$www/album/b/photo.jpg"
expect_saved cached.png "$work/cached.png"
expect_saved song.mp3 "$www/album/song.mp3"
expect_saved movie.swf "$www/misc/movie.swf"
count=$(find "$save" -type f | wc -l)
[ "$count" = 5 ] || fail "the save folder holds $count files instead of 5: $(ls "$save")"
! server_was_asked /album/cached.png || fail "the cached file was fetched over HTTP"
server_was_asked /misc/photo.jpg || fail "the second page's photo was not fetched"
! server_was_asked /misc/banner.jpg || fail "the image at a listed resolution was fetched"

# The history: one day file, four blocks (two pages, two sessions), CR LF lines.
days=("$bin"/History/*)
[ "${#days[@]}" = 1 ] && [ -f "${days[0]}" ] || fail "not exactly one day file: ${days[*]}"
day=${days[0]}
mapfile -t times < <(grep -ao '<DOWNLOAD_TIME>[0-9]*</DOWNLOAD_TIME>' "$day" | tr -dc '0-9\n')
[ "${#times[@]}" = 4 ] || fail "the day file holds ${#times[@]} records instead of 4"
for t in "${times[@]}"; do
  [ "$t" -ge "$before" ] && [ "$t" -le "$after" ] || fail "time $t is outside the run"
done
[ "${day##*/}" = "$(date -d "@${times[0]}" +%Y-%m-%d)" ] || fail "day file ${day##*/} is not the record's date"

saved=$(winpath "$save")
expected=$work/expected
{
  block() {
    local time=$1 page=$2
    shift 2
    printf '<DOWNLOAD>\r\n<DOWNLOAD_TIME>%s</DOWNLOAD_TIME>\r\n<REFERRER_URL>%s</REFERRER_URL>\r\n' \
      "$time" "$page"
    while [ $# -gt 0 ]; do
      printf '<DOWNLOAD_ITEM>\r\n<DOWNLOAD_FILE>%s</DOWNLOAD_FILE>\r\n<LOCAL_FILE>%s</LOCAL_FILE>\r\n</DOWNLOAD_ITEM>\r\n' \
        "$1" "$2"
      shift 2
    done
    printf '</DOWNLOAD>\r\n'
  }
  block "${times[0]}" "$base/album/index.html" \
    "$base/album/photo.jpg" "$saved\\photo.jpg" \
    "$base/album/b/photo.jpg" "$saved\\photo1.jpg" \
    "$base/album/cached.png" "$saved\\cached.png" \
    "$base/album/song.mp3" "$saved\\song.mp3"
  block "${times[1]}" "$base/misc/" "$base/misc/movie.swf" "$saved\\movie.swf"
  # The second session saves nothing new: its records carry no items.
  block "${times[2]}" "$base/album/index.html"
  block "${times[3]}" "$base/misc/"
} >"$expected"
cmp -s "$day" "$expected" || {
  diff <(tr -d '\r' <"$expected") <(tr -d '\r' <"$day") >&2 || true
  fail "the day file differs from the expected bytes"
}
echo "PASS: window list saved 5 files over two sessions and wrote their history"
