#!/usr/bin/env bash
# `make run` without a display: the demo harvests every open demo page by itself, started from the
# toolbar band in a stand-in browser window, saves pictures of the band's menu and of the finished
# progress window, makes a thumbnail album of the saved pictures, lists what was saved and ends on
# its own.
set -euo pipefail

src=${VX_SOURCE_DIR:?}
bin=${VX_BIN_DIR:?}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

export VX_WIN64_BUILD
VX_WIN64_BUILD=$(cd "$bin/.." && pwd)
export VX_NATIVE_BUILD=${VX_NATIVE_BUILD:-$src/build/native}
export VX_DEMO_DIR=$work/demo
export VX_DEMO_PREFIX=demo-e2e
export VX_DEMO_TIMEOUT=240

fail() {
  echo "FAIL: $*" >&2
  echo "---- demo output ----" >&2
  cat "$work/out.txt" >&2 || true
  exit 1
}

# Ending by itself is part of the test: the outer limit only stops a demo that hangs.
rc=0
timeout 560 "$src/scripts/demo" --headless >"$work/out.txt" 2>&1 || rc=$?
[ "$rc" != 124 ] || fail "the demo did not end by itself"
[ "$rc" = 0 ] || fail "the demo ended with exit code $rc"

saved=$VX_DEMO_DIR/Vexaro/Download
content=$src/tools/demo-content/files

# Every file the pages show and the settings take, byte for byte as served.
for f in album/sunset.png album/harbour.png album/thumb-harbour.png album/tiles.bmp \
         music/theme.mp3 flash/intro.swf; do
  name=${f##*/}
  [ -f "$saved/$name" ] || fail "$name was not saved"
  cmp -s "$saved/$name" "$content/$f" || fail "$name differs from what the server holds"
  grep -q "bytes  $name\$" "$work/out.txt" || fail "$name is not in the list of saved files"
done
# The banner is shown at a resolution the settings leave out; links to pages are no media.
[ ! -e "$saved/ad-banner.png" ] || fail "the banner at a listed resolution was saved"
[ ! -e "$saved/more-photos.html" ] || fail "a link to a page was saved"
[ ! -e "$saved/playlist.html" ] || fail "a link to a page was saved"

# The two pre-seeded files came out of the browser cache, not over HTTP.
log=$VX_DEMO_DIR/server.log
[ -f "$log" ] || fail "the media server kept no log"
grep -q ' /album/harbour.png$' "$log" || fail "harbour.png was not fetched over HTTP"
! grep -q ' /album/sunset.png$' "$log" || fail "sunset.png was fetched although it was cached"
! grep -q ' /music/theme.mp3$' "$log" || fail "theme.mp3 was fetched although it was cached"

# The picture of the progress window: a PNG of a plausible window size.
shot=$VX_DEMO_DIR/harvest-complete.png
[ -f "$shot" ] || fail "no picture of the finished progress window"
grep -q "harvest-complete.png" "$work/out.txt" || fail "the output does not name the picture"
[ "$(head -c 8 "$shot" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
  fail "the picture is not a PNG"
dims=$(od -An -tu1 -j16 -N8 "$shot" | tr -s ' ')
read -r w3 w2 w1 w0 h3 h2 h1 h0 <<<"$dims"
width=$(((w3 << 24) | (w2 << 16) | (w1 << 8) | w0))
height=$(((h3 << 24) | (h2 << 16) | (h1 << 8) | h0))
[ "$width" -ge 200 ] && [ "$height" -ge 80 ] || fail "the picture is only ${width}x${height}"

# The harvest was started from the browser's toolbar band, pictured with its menu open.
menu_shot=$VX_DEMO_DIR/band-menu.png
[ -f "$menu_shot" ] || fail "no picture of the band's menu"
[ "$(head -c 8 "$menu_shot" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
  fail "the picture of the band's menu is not a PNG"
grep -q 'chose item 1 of the band' "$work/out.txt" || fail "the band's \"Download &All Pages\" was not chosen"

# The pictures of both pages of the settings sheet, opened from the main window.
for page in download system; do
  shot=$VX_DEMO_DIR/settings-$page.png
  [ -f "$shot" ] || fail "no picture of the settings sheet's $page page"
  [ "$(head -c 8 "$shot" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
    fail "the picture of the $page page is not a PNG"
done
! cmp -s "$VX_DEMO_DIR/settings-download.png" "$VX_DEMO_DIR/settings-system.png" ||
  fail "both pictures of the settings sheet show the same page"

# The manual ships beside the program, and "&Album..." made an album of the saved pictures with
# the registered album maker.
[ -f "$VX_DEMO_DIR/Vexaro/quenta.chm" ] || fail "the manual is not in the demo install folder"
album=$saved/album.htm
[ -f "$album" ] || fail "no thumbnail album was made"
for name in sunset.png harbour.png thumb-harbour.png tiles.bmp; do
  grep -q "href=\"$name\"" "$album" || fail "the album does not link $name"
  [ -s "$saved/thumbnails/$name.png" ] || fail "the album has no thumbnail of $name"
done
! grep -q 'href="theme.mp3"' "$album" || fail "the album links a file that is no picture"

echo "demo harvest: $(find "$saved" -type f | wc -l) files saved, picture ${width}x${height}"
