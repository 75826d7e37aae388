#!/usr/bin/env bash
# vexaro-harvest against a real headless Chromium, and against curl over the same loopback list.
# Writes docs/bench-harvest.md.
#
#   bench/chromium_harvest.sh [BUILD_DIR]     (default: build/native)
#
# Three figures, each the median of three runs on fresh folders:
#   - the HTTP road: a tab of FILES mp3 links the browser has not loaded, harvested with
#     --current, against `curl -K list` fetching the same addresses one after another;
#   - reading a tab's media: a page of IMAGES images, all left out by the resolution filter, so
#     the run is the tab list, the document read and the collection, with no file saved;
#   - the browser road: the same page harvested, every image taken from the browser's copy.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/native}
FILES=${FILES:-300}
FILE_KB=${FILE_KB:-50}
IMAGES=${IMAGES:-5000}
chromium=${VX_CHROMIUM:-$(command -v chromium-headless-shell || command -v chromium || true)}
[ -n "$chromium" ] || { echo "chromium_harvest: no Chromium (scripts/bootstrap installs it)" >&2; exit 1; }
cmake --build "$build" --target vexaro-harvest demo-server >/dev/null
harvest=$build/bin/vexaro-harvest

work=$(mktemp -d)
server_pid=
browser_pid=
cleanup() {
  [ -z "$browser_pid" ] || { kill -TERM -- "-$browser_pid" 2>/dev/null || true; wait "$browser_pid" 2>/dev/null || true; }
  [ -z "$server_pid" ] || { kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; }
  rm -rf "$work"
}
trap cleanup EXIT

# The content: FILES mp3 files behind links, IMAGES small PNG files on one page.
python3 - "$work/www" "$FILES" "$FILE_KB" "$IMAGES" <<'PY'
import os, sys, base64
www, files, kb, images = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
os.makedirs(www + "/m"); os.makedirs(www + "/i")
pixel = base64.b64decode("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR4nGP4z8DwHwAFAAH/iZk9HQAAAABJRU5ErkJggg==")
with open(www + "/links.html", "w") as page:
    page.write("<html><head><title>Links</title></head><body>")
    for n in range(files):
        with open(f"{www}/m/f{n:04d}.mp3", "wb") as f:
            f.write(os.urandom(kb * 1024))
        page.write(f"<a href='/m/f{n:04d}.mp3'>{n}</a>\n")
    page.write("</body></html>")
with open(www + "/gallery.html", "w") as page:
    page.write("<html><head><title>Gallery</title></head><body>")
    for n in range(images):
        with open(f"{www}/i/g{n:05d}.png", "wb") as f:
            f.write(pixel + n.to_bytes(4, "big"))
        page.write(f"<img src='/i/g{n:05d}.png' width='8' height='8'>")
    page.write("</body></html>")
PY

"$build/bin/demo-server" --root "$work/www" --port-file "$work/port" >/dev/null 2>&1 &
server_pid=$!
for _ in $(seq 200); do [ -s "$work/port" ] && break; sleep 0.05; done
origin=http://127.0.0.1:$(cat "$work/port")

sandbox=()
[ "$(id -u)" != 0 ] || sandbox=(--no-sandbox)
setsid "$chromium" "${sandbox[@]}" --headless --disable-gpu --no-first-run --remote-debugging-port=0 \
  --user-data-dir="$work/profile" --proxy-server=direct:// "$origin/gallery.html" >/dev/null 2>&1 &
browser_pid=$!
for _ in $(seq 600); do [ -s "$work/profile/DevToolsActivePort" ] && break; sleep 0.1; done
devtools=127.0.0.1:$(head -n 1 "$work/profile/DevToolsActivePort")
curl -s -X PUT "http://$devtools/json/new?$origin/links.html" >/dev/null
loaded() { curl -s "http://$devtools/json/list" | grep -c "\"title\": \"$1\"" || true; }
for _ in $(seq 1200); do
  [ "$(loaded Gallery)" = 1 ] && [ "$(loaded Links)" = 1 ] && break
  sleep 0.1
done

config() {  # $1 = folder, $2 = LIMITFILETYPE, $3 = extra elements; $4 = the page listed
  mkdir -p "$1"
  printf '<CONFIG>\r\n<SAVEFOLDER>%s</SAVEFOLDER>\r\n%b<LIMITFILETYPE>%s</LIMITFILETYPE>\r\n</CONFIG>\r\n' \
    "$work/unused" "$3" "$2" >"$1/config.xml"
  printf '<URLCACHE>\r\n<URL>%s</URL>\r\n</URLCACHE>\r\n' "$4" >"$1/cacheurl.xml"
}
seconds() { python3 -c 'import sys; print(f"{float(sys.argv[2]) - float(sys.argv[1]):.3f}")' "$@"; }
median() { printf '%s\n' "$@" | sort -g | sed -n 2p; }
timed() {  # prints the wall seconds of the command
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || { echo "chromium_harvest: failed: $*" >&2; exit 1; }
  end=$(date +%s.%N)
  seconds "$start" "$end"
}

config "$work/c-links" 2 "" "$origin/links.html"
config "$work/c-read" 1 '<LIMITRESOLVING>\r\n<RESOLVING_CAP RESX="8" RESY="8"/>\r\n</LIMITRESOLVING>\r\n' "$origin/gallery.html"
config "$work/c-copy" 1 "" "$origin/gallery.html"
for n in $(seq "$FILES"); do
  printf 'url = "%s/m/f%04d.mp3"\noutput = "f%04d.mp3"\n' "$origin" $((n - 1)) $((n - 1))
done >"$work/curl.list"

http=() ; curl_runs=() ; read_runs=() ; copy_runs=()
for run in 1 2 3; do
  http+=("$(timed "$harvest" --current --devtools "$devtools" --config "$work/c-links" --folder "$work/o-http-$run")")
  mkdir -p "$work/o-curl-$run"
  curl_runs+=("$(cd "$work/o-curl-$run" && timed curl -s -K "$work/curl.list")")
  read_runs+=("$(timed "$harvest" --current --devtools "$devtools" --config "$work/c-read" --folder "$work/o-read-$run")")
  copy_runs+=("$(timed "$harvest" --current --devtools "$devtools" --config "$work/c-copy" --folder "$work/o-copy-$run")")
done
saved=$(ls "$work/o-copy-1" | wc -l)
[ "$(ls "$work/o-http-1" | wc -l)" = "$FILES" ] || { echo "chromium_harvest: the HTTP road saved $(ls "$work/o-http-1" | wc -l) of $FILES" >&2; exit 1; }
[ "$saved" = "$IMAGES" ] || { echo "chromium_harvest: the browser road saved $saved of $IMAGES" >&2; exit 1; }

h=$(median "${http[@]}"); c=$(median "${curl_runs[@]}"); r=$(median "${read_runs[@]}"); p=$(median "${copy_runs[@]}")
version=$("$chromium" --version 2>/dev/null | head -n 1 || echo unknown)
python3 - "$root/docs/bench-harvest.md" "$FILES" "$FILE_KB" "$IMAGES" "$h" "$c" "$r" "$p" "$(nproc)" "$(cut -d' ' -f1-3 /proc/loadavg)" "$version" <<'PY'
import sys
out, files, kb, images = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
h, c, r, p = (float(x) for x in sys.argv[5:9])
cpus, load, version = sys.argv[9], sys.argv[10], sys.argv[11]
lines = [
    "# vexaro-harvest against a real Chromium",
    "",
    "Written by `bench/chromium_harvest.sh`; do not edit by hand. Median of three runs, wall clock,",
    "each run a whole `vexaro-harvest` process (tab list, document read, file pass) on fresh folders,",
    f"against {version} (headless) and the demo server on 127.0.0.1.",
    f"Machine: {cpus} CPUs, load average {load} when the runs ended.",
    "",
    "| Workload | Seconds | Files/s | ms per file |",
    "|---|---|---|---|",
    f"| HTTP road: {files} mp3 links of {kb} KB (`--current`) | {h:.2f} | {files / h:.0f} | {1000 * h / files:.2f} |",
    f"| curl -K over the same {files} addresses | {c:.2f} | {files / c:.0f} | {1000 * c / files:.2f} |",
    f"| Reading a tab of {images:,} images, all left out by the resolution filter | {r:.2f} | {images / r:.0f} | {1000 * r / images:.3f} |",
    f"| Browser road: the same {images:,} images taken from the browser's copies | {p:.2f} | {images / p:.0f} | {1000 * p / images:.2f} |",
    "",
    f"The HTTP road costs {h / c:.2f} times curl's time over the same list. Reading a tab is one",
    "`Runtime.evaluate` for the whole document, so its cost per image is small next to saving one;",
    "each image taken from the browser costs one `Page.getResourceContent` round trip, its base64",
    "decoding and an exclusive write.",
    "",
]
open(out, "w").write("\n".join(lines))
print("\n".join(lines))
PY
