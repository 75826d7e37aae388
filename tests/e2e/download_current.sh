#!/usr/bin/env bash
# "/current" as the browser band starts it: the page named in cacheurl.xml is open in the
# (stand-in) browser, its files are on a loopback server, and Vexaro.exe runs whole.
# demo-driver.exe plays the user: it waits for "Download complete!" and presses "OK". Then the save
# folder must hold exactly what the settings take, byte for byte.
set -euo pipefail
# shellcheck source=lib/harness.bash
source "$(dirname "$0")/lib/harness.bash"

keep_beside_programs standin-windows.xml cacheurl.xml config.xml History

# What the server holds. Sizes decide: the size filter keeps files of at least 1 KB.
www=$work/www
mkdir -p "$www/page" "$www/other"
head -c 3000 /dev/urandom >"$www/page/photo.jpg"
head -c 4100 /dev/urandom >"$www/page/banner.jpg"   # laid out at a listed resolution
head -c 100 /dev/urandom >"$www/page/dot.gif"       # below the size filter
head -c 5000 /dev/urandom >"$www/page/song.mp3"
head -c 2048 /dev/urandom >"$www/page/movie.swf"
head -c 1500 /dev/urandom >"$www/other/elsewhere.jpg"
printf '<html></html>' >"$www/page/index.html"
start_server "$www"

save=$work/save
mkdir -p "$save"

# Two browser windows: the page the band handed over, and another one that must be left alone.
# The photo is shown twice (saved once), the banner at 640x480 (a listed resolution).
cat >"$bin/standin-windows.xml" <<XML
<BROWSER>
<WINDOW TITLE="Other" URL="$base/other/index.html" KIND="html">
<IMG SRC="$base/other/elsewhere.jpg" WIDTH="10" HEIGHT="10"/>
</WINDOW>
<WINDOW TITLE="Page" URL="$base/page/index.html" KIND="html">
<IMG SRC="$base/page/photo.jpg" WIDTH="300" HEIGHT="200"/>
<IMG SRC="$base/page/banner.jpg" WIDTH="640" HEIGHT="480"/>
<IMG SRC="$base/page/dot.gif" WIDTH="1" HEIGHT="1"/>
<IMG SRC="$base/page/photo.jpg" WIDTH="300" HEIGHT="200"/>
<A HREF="$base/page/song.mp3"/>
<A HREF="$base/page/movie.swf"/>
<A HREF="$base/page/index.html"/>
</WINDOW>
</BROWSER>
XML

# As the band writes it: CR LF between the tags, none at the end.
printf '<URLCACHE>\r\n<URL>%s</URL>\r\n</URLCACHE>' "$base/page/index.html" >"$bin/cacheurl.xml"
write_config "$save"

drive "\"$(winpath "$bin/Vexaro.exe")\" /current"
! grep -q '^box=' "$work/report.txt" || fail "the run showed a message box"

# Exactly the files the settings take, as served.
for f in photo.jpg song.mp3 movie.swf; do
  [ -f "$save/$f" ] || fail "$f was not saved"
  cmp -s "$save/$f" "$www/page/$f" || fail "$f differs from what the server holds"
done
[ ! -e "$save/banner.jpg" ] || fail "the image at a listed resolution was saved"
[ ! -e "$save/dot.gif" ] || fail "the file below the size filter was saved"
[ ! -e "$save/elsewhere.jpg" ] || fail "a page that was not handed over was harvested"
[ ! -e "$save/index.html" ] || fail "a link to a page was saved"
count=$(find "$save" -type f | wc -l)
[ "$count" = 3 ] || fail "the save folder holds $count files instead of 3: $(ls "$save")"
[ ! -e "$bin/History" ] || fail "a \"/current\" session wrote history"
echo "PASS: /current saved photo.jpg, song.mp3 and movie.swf"
