#!/usr/bin/env bash
# "Download &Current Page" from the toolbar band, as a user chooses it: Quenta.dll is registered,
# the stand-in browser shows two pages with the band loaded in each, the band's button is
# clicked and the item picked from its menu in the window of the page to harvest. The band writes
# cacheurl.xml and starts Vexaro.exe /current, which must save that page's files and no others.
# Then the home-page command sends the other window to the home page.
set -euo pipefail
# shellcheck source=lib/harness.bash
source "$(dirname "$0")/lib/harness.bash"

# The browser, the band's driver and Vexaro run side by side: one Wine session for all of them.
if [ -z "${VX_WINE_SESSION_ID:-}" ]; then
  trap - EXIT
  rm -rf "$work"
  exec "$wine_run" --session bash "$0" "$@"
fi

keep_beside_programs standin-windows.xml cacheurl.xml config.xml History
for f in Quenta.dll standin-browser.exe demo-driver.exe; do
  [ -f "$bin/$f" ] || fail "$f is not built"
done

www=$work/www
mkdir -p "$www/page" "$www/other"
head -c 3000 /dev/urandom >"$www/page/photo.jpg"
head -c 5000 /dev/urandom >"$www/page/song.mp3"
head -c 1500 /dev/urandom >"$www/other/elsewhere.jpg"
start_server "$www"
save=$work/save
mkdir -p "$save"

cat >"$bin/standin-windows.xml" <<XML
<BROWSER>
<WINDOW TITLE="Other" URL="$base/other/index.html" KIND="html">
<IMG SRC="$base/other/elsewhere.jpg" WIDTH="10" HEIGHT="10"/>
</WINDOW>
<WINDOW TITLE="Page" URL="$base/page/index.html?a=1&amp;b=2" KIND="html">
<IMG SRC="$base/page/photo.jpg" WIDTH="300" HEIGHT="200"/>
<A HREF="$base/page/song.mp3"/>
</WINDOW>
</BROWSER>
XML
write_config "$save"

"$wine_run" regsvr32 /s "$(winpath "$bin/Quenta.dll")" || fail "regsvr32 could not register Quenta.dll"

trap 'stop_browser; harness_cleanup' EXIT

"$wine_run" "$bin/standin-browser.exe" >"$work/browser.txt" 2>&1 &
browser_pid=$!

"$wine_run" "$bin/demo-driver.exe" --band "Page - Stand-in Browser" --choose current \
  --timeout 120 >"$work/driver.txt" 2>&1 || fail "the band's menu could not be used"
"$wine_run" "$bin/demo-driver.exe" --caption "Download complete!" --press 2 --timeout 300 \
  >>"$work/driver.txt" 2>&1 || fail "Vexaro did not finish the page"

expected=$(printf '<URLCACHE>\r\n<URL>%s</URL>\r\n</URLCACHE>' "$base/page/index.html?a=1&b=2")
[ "$(cat "$bin/cacheurl.xml")" = "$expected" ] || fail "cacheurl.xml holds $(od -c "$bin/cacheurl.xml" | head)"
for f in photo.jpg song.mp3; do
  [ -f "$save/$f" ] || fail "$f was not saved"
  cmp -s "$save/$f" "$www/page/$f" || fail "$f differs from what the server holds"
done
[ ! -e "$save/elsewhere.jpg" ] || fail "a page that was not chosen was harvested"
count=$(find "$save" -type f | wc -l)
[ "$count" = 2 ] || fail "the save folder holds $count files instead of 2: $(ls "$save")"

# "&Visit Vexaro Homepage" takes the same browser window to the home page, no new window.
"$wine_run" "$bin/demo-driver.exe" --band "Other - Stand-in Browser" --choose home \
  --timeout 120 >>"$work/driver.txt" 2>&1 || fail "the band's menu could not be used again"
"$wine_run" "$bin/demo-driver.exe" --caption "http://www.norlume.com/vexaro/ - Stand-in Browser" \
  --timeout 60 >>"$work/driver.txt" 2>&1 || fail "the browser window did not go to the home page"
windows=$("$wine_run" "$bin/demo-driver.exe" --close-browsers | sed -n 's/.*asked \([0-9]*\) .*/\1/p')
[ "$windows" = 2 ] || fail "the browser shows $windows windows instead of 2"
stop_browser
echo "PASS: the band's \"Download &Current Page\" had Vexaro save photo.jpg and song.mp3,"
echo "      and \"&Visit Vexaro Homepage\" took its own browser window to the home page"
