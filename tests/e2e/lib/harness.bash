# Shared by the whole-program tests: a scratch folder, the media server, files beside the
# programs that are put back afterwards, and the user played by demo-driver.exe (--harvest).
# Source it after `set -euo pipefail`; it needs VX_SOURCE_DIR, VX_BIN_DIR and VX_WINE_RUN.

src=${VX_SOURCE_DIR:?}
bin=${VX_BIN_DIR:?}
wine_run=${VX_WINE_RUN:?}
server=${VX_NATIVE_BUILD:-$src/build/native}/bin/demo-server

work=$(mktemp -d)
server_pid=
kept=()

# Files or folders beside the programs that this test replaces; they come back at the end.
keep_beside_programs() {
  local f
  mkdir -p "$work/keep"
  for f in "$@"; do
    kept+=("$f")
    if [ -e "$bin/$f" ]; then
      mv "$bin/$f" "$work/keep/$f"
    fi
  done
}

restore_beside_programs() {
  local f
  for f in "${kept[@]}"; do
    rm -rf "${bin:?}/$f"
    [ ! -e "$work/keep/$f" ] || mv "$work/keep/$f" "$bin/$f"
  done
}

harness_cleanup() {
  [ -z "$server_pid" ] || kill "$server_pid" 2>/dev/null || true
  [ -z "$server_pid" ] || wait "$server_pid" 2>/dev/null || true
  restore_beside_programs
  rm -rf "$work"
}
trap harness_cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  [ ! -f "$work/report.txt" ] || { echo "---- helper report ----" >&2; cat "$work/report.txt" >&2; }
  [ ! -f "$work/driver.txt" ] || { echo "---- helper output ----" >&2; tail -n 40 "$work/driver.txt" >&2; }
  exit 1
}

[ -x "$server" ] || fail "the media server $server is not built (build the native tree first)"
[ -f "$bin/Vexaro.exe" ] || fail "Vexaro.exe is not built"
[ -f "$bin/demo-driver.exe" ] || fail "demo-driver.exe is not built"

# Z:\... as the programs under Wine see a Linux path.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Serves folder $1 on a free loopback port; sets $base to its address.
start_server() {
  "$server" --root "$1" --port-file "$work/port" --log "$work/server.log" &
  server_pid=$!
  for _ in $(seq 1 200); do
    [ -s "$work/port" ] && break
    kill -0 "$server_pid" 2>/dev/null || fail "the media server did not start"
    sleep 0.05
  done
  [ -s "$work/port" ] || fail "the media server did not report its port"
  base="http://127.0.0.1:$(cat "$work/port")"
}

# Whether the server was asked for path $1.
server_was_asked() { grep -q " $1\$" "$work/server.log"; }

# Runs command line $1 under demo-driver.exe, which plays the user: with $2 sessions started from
# the window list, or none when the program runs by itself. Checks that the run ended with
# "Download complete!" each time and that Vexaro.exe itself ended.
drive() {
  local command=$1 sessions=${2:-} rc=0
  local args=(--harvest "$command" --caption "Download complete!" --report "$(winpath "$work/report.txt")")
  [ -z "$sessions" ] || args+=(--sessions "$sessions")
  timeout 500 "$wine_run" "$bin/demo-driver.exe" "${args[@]}" >"$work/driver.txt" 2>&1 || rc=$?
  [ "$rc" != 124 ] || fail "the run did not end"
  [ "$rc" = 0 ] || fail "the helper reported a failure (exit code $rc)"
  ! grep -v '^caption=Download complete!$' "$work/report.txt" | grep -q '^caption=' ||
    fail "the window never read \"Download complete!\""
  grep -q '^caption=' "$work/report.txt" || fail "no session was seen"
  grep -q '^exit=0$' "$work/report.txt" || fail "Vexaro.exe did not end by itself"
}

# The settings file: save folder $1, files of at least 1 KB, 640x480 left out, every type.
write_config() {
  cat >"$bin/config.xml" <<CONFIG
<CONFIG>
<SAVEFOLDER>$(winpath "$1")</SAVEFOLDER>
<LIMITFILESIZE>
<BIGTHAN FILESIZE="1">1</BIGTHAN>
<SMALLTHAN FILESIZE="0">0</SMALLTHAN>
</LIMITFILESIZE>
<LIMITRESOLVING>
<RESOLVING_CAP RESX="640" RESY="480"/>
</LIMITRESOLVING>
<LIMITFILETYPE>7</LIMITFILETYPE>
</CONFIG>
CONFIG
}

# The stand-in browser a test starts in the background sets browser_pid; stop_browser asks its
# windows to close, ends it if they do not, and waits for it. The driver is named by its Windows
# path, so the call changes nothing the test has set up in the prefix.
browser_pid=
stop_browser() {
  [ -n "$browser_pid" ] || return 0
  "$wine_run" "$(winpath "$bin/demo-driver.exe")" --close-browsers </dev/null >/dev/null 2>&1 || true
  for _ in $(seq 1 100); do
    kill -0 "$browser_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$browser_pid" 2>/dev/null || true
  wait "$browser_pid" 2>/dev/null || true
  browser_pid=
}
