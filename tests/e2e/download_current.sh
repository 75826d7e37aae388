#!/usr/bin/env bash
# "/current" as the browser band starts it: the page named in cacheurl.xml is open in the
# (stand-in) browser, its files are on a loopback server, and Vexaro.exe runs whole. A helper in
# win_tests.exe plays the user: it waits for "Download complete!" and presses "OK". Then the save
# folder must hold exactly what the settings take, byte for byte.
set -euo pipefail

src=${VX_SOURCE_DIR:?}
bin=${VX_BIN_DIR:?}
wine_run=${VX_WINE_RUN:?}
server=${VX_NATIVE_BUILD:-$src/build/native}/bin/demo-server

work=$(mktemp -d)
server_pid=
saved_files=(standin-windows.xml cacheurl.xml config.xml)

restore() {
  local f
  for f in "${saved_files[@]}"; do
    if [ -e "$work/keep/$f" ]; then
      cp -p "$work/keep/$f" "$bin/$f"
    else
      rm -f "$bin/$f"
    fi
  done
}
cleanup() {
  [ -z "$server_pid" ] || kill "$server_pid" 2>/dev/null || true
  [ -z "$server_pid" ] || wait "$server_pid" 2>/dev/null || true
  restore
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  [ ! -f "$work/report.txt" ] || { echo "---- helper report ----" >&2; cat "$work/report.txt" >&2; }
  [ ! -f "$work/driver.txt" ] || { echo "---- helper output ----" >&2; tail -n 40 "$work/driver.txt" >&2; }
  exit 1
}

[ -x "$server" ] || fail "the media server $server is not built (build the native tree first)"
[ -f "$bin/Vexaro.exe" ] || fail "Vexaro.exe is not built"
[ -f "$bin/win_tests.exe" ] || fail "win_tests.exe is not built"

# Files kept beside the programs by other tests come back afterwards.
mkdir -p "$work/keep"
for f in "${saved_files[@]}"; do
  [ ! -e "$bin/$f" ] || cp -p "$bin/$f" "$work/keep/$f"
done

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

"$server" --root "$www" --port-file "$work/port" --log "$work/server.log" &
server_pid=$!
for _ in $(seq 1 200); do
  [ -s "$work/port" ] && break
  kill -0 "$server_pid" 2>/dev/null || fail "the media server did not start"
  sleep 0.05
done
[ -s "$work/port" ] || fail "the media server did not report its port"
port=$(cat "$work/port")
base="http://127.0.0.1:$port"

save=$work/save
mkdir -p "$save"
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Two browser windows: the page the band handed over, and another one that must be left alone.
# The photo is shown twice (saved once), the banner at 640x480 (a listed resolution).
cat >"$bin/standin-windows.xml" <<EOF
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
EOF

# As the band writes it: CR LF between the tags, none at the end.
printf '<URLCACHE>\r\n<URL>%s</URL>\r\n</URLCACHE>' "$base/page/index.html" >"$bin/cacheurl.xml"

cat >"$bin/config.xml" <<EOF
<CONFIG>
<SAVEFOLDER>$(winpath "$save")</SAVEFOLDER>
<LIMITFILESIZE>
<BIGTHAN FILESIZE="1">1</BIGTHAN>
<SMALLTHAN FILESIZE="0">0</SMALLTHAN>
</LIMITFILESIZE>
<LIMITRESOLVING>
<RESOLVING_CAP RESX="640" RESY="480"/>
</LIMITRESOLVING>
<LIMITFILETYPE>7</LIMITFILETYPE>
</CONFIG>
EOF

export VX_DRIVE_COMMAND="\"$(winpath "$bin/Vexaro.exe")\" /current"
export VX_DRIVE_CAPTION="Download complete!"
export VX_DRIVE_REPORT
VX_DRIVE_REPORT=$(winpath "$work/report.txt")
rc=0
timeout 500 "$wine_run" "$bin/win_tests.exe" '--gtest_filter=WholeProgram.*'
[ "$rc" != 124 ] || fail "the run did not end"
[ "$rc" = 0 ] || fail "the helper reported a failure (exit code $rc)"
grep -q '^caption=Download complete!$' "$work/report.txt" || fail "the window never read \"Download complete!\""
grep -q '^exit=0$' "$work/report.txt" || fail "Vexaro.exe did not end after \"OK\""
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
[ ! -e "$bin/History" ] || ! grep -rqs "$base/page/index.html" "$bin/History" ||
  fail "a \"/current\" session wrote history"
echo "PASS: /current saved photo.jpg, song.mp3 and movie.swf"
