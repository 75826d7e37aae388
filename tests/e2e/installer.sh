#!/usr/bin/env bash
# The setup program in a fresh Wine prefix, as a user meets it: a silent install into the
# default folder, the registry read back, the installed band in the stand-in browser starting
# the installed Vexaro.exe /all, which harvests the browser's pages; an upgrade over that copy
# while the browser holds the band, a silent uninstall that keeps the user's data and the
# downloads, then an install into another folder (/D=) with its uninstalls, silent and by hand
# (saying yes to deleting settings and history), and the folders that setup refuses.
set -euo pipefail
# shellcheck source=lib/harness.bash
source "$(dirname "$0")/lib/harness.bash"

tree=$(dirname "$bin")
setup=$tree/Vexaro-1.2.0-setup.exe

# A prefix of our own, made for this run and dropped after it, in a Wine session of its own.
if [ "${VX_INSTALLER_INNER:-}" != 1 ]; then
  "$src/installer/build" "$tree" >/dev/null || fail "the setup could not be built"
  wine_root=$(mktemp -d)
  rc=0
  env -u VX_WINE_SESSION_ID VX_INSTALLER_INNER=1 VX_WINE_ROOT="$wine_root" \
    VX_WINE_PREFIX_NAME=installer "$wine_run" --session bash "$0" "$@" || rc=$?
  rm -rf "$wine_root"
  exit "$rc"
fi

[ -f "$setup" ] || fail "$setup is not built"
for f in StandinShell.dll standin-browser.exe demo-driver.exe; do
  [ -f "$bin/$f" ] || fail "$f is not built"
done
keep_beside_programs standin-windows.xml config.xml

# Programs are named by their Windows paths: wine-run then leaves InstallPath alone.
wine() { "$wine_run" "$@" </dev/null; }
out=$work/out.txt

# Shortcuts would otherwise also become menu entries of this Linux desktop.
wine reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /d '' /f >"$out" 2>&1 ||
  fail "could not turn off winemenubuilder"

# The data of value $2 under key $1 ("" for the default value), or status 1 when it is missing.
reg_value() {
  local rc=0 name=$2 select=(/v "$2")
  [ -n "$name" ] || { name='(Default)'; select=(/ve); }
  wine reg query "$1" "${select[@]}" >"$out" 2>&1 || rc=$?
  [ "$rc" = 0 ] || return 1
  name=$(printf '%s' "$name" | sed 's/[][\\.*^$(){}+?|]/\\&/g')
  tr -d '\r' <"$out" | sed -n -E "s/^ +$name +REG_[A-Z_]+ *//p" | head -n 1
}
reg_key_exists() { wine reg query "$1" >"$out" 2>&1; }
expect_value() {  # key, value name, expected data
  local got
  got=$(reg_value "$1" "$2") || fail "$1 has no value \"$2\": $(tr -d '\r' <"$out")"
  [ "$got" = "$3" ] || fail "$1 $2 is \"$got\" instead of \"$3\": $(tr -d '\r' <"$out")"
}
expect_no_key() { ! reg_key_exists "$1" || fail "$1 is still there: $(tr -d '\r' <"$out")"; }

# Where Windows paths of this prefix are on disk: C:\x\y is $WINEPREFIX/drive_c/x/y.
unix_of() {
  local p=${1#[Cc]:}
  printf '%s/drive_c%s' "$WINEPREFIX" "${p//\\//}"
}
windows_env() { wine cmd /c echo "%$1%" >"$out" 2>&1; tr -d '\r\n' <"$out"; }

# Wine would quote an argument with a space, and setup takes "/D=" (the uninstaller "_?=") only
# unquoted and last, as typed at a command prompt; so the command line goes through cmd, and the
# programs run from the scratch folder, whose name has no spaces.
cp "$setup" "$work/setup.exe"
run_setup() {  # setup's arguments; its exit code is the function's
  wine cmd /c "$(winpath "$work/setup.exe") $*" >"$work/setup.txt" 2>&1
}

# The in-place run that the uninstaller itself makes from a temporary copy; started this way it
# ends only when it is done.
run_uninstaller() {  # folder (Windows path)
  local folder=$1
  cp "$(unix_of "$folder")/uninstall.exe" "$work/un.exe" || fail "$folder has no uninstall.exe"
  wine cmd /c "$(winpath "$work/un.exe") /S _?=$folder" >"$work/uninstall.txt" 2>&1 ||
    fail "the silent uninstall failed"
}

clsid='{9C3E51A2-47D0-4B8E-9F61-2A7D05C3E814}'
typelib='{B05F7E3C-2D14-4A6B-8C93-61E2F0A4D7B5}'
vexaro_key='HKCU\SOFTWARE\Norlume\Vexaro'
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vexaro'
toolbar_key='HKLM\Software\Microsoft\Internet Explorer\Toolbar'
album_dll=ThumbnailCreator.dll
album_progid='HKCR\ThumbnailCreator.Thumbnail'
album_clsid=
shipped=(Vexaro.exe Quenta.dll uninstall.exe quenta.chm "$album_dll")

programs=$(unix_of "$(windows_env APPDATA)")/Microsoft/Windows/Start\ Menu/Programs/Vexaro

# Everything a completed install into folder $1 leaves behind.
check_installed() {
  local folder=$1 dir f
  dir=$(unix_of "$folder")
  for f in "${shipped[@]}"; do
    [ -f "$dir/$f" ] || fail "$f is not in $folder"
  done
  ! cmp -s "$dir/Quenta.dll" "$bin/Quenta.dll" ||
    fail "Quenta.dll was shipped with its debugging information"
  expect_value "$vexaro_key" InstallPath "$folder"
  expect_value "HKCR\\CLSID\\$clsid\\InprocServer32" '' "$folder\\Quenta.dll"
  expect_value "HKCR\\CLSID\\$clsid\\InprocServer32" ThreadingModel Apartment
  expect_value 'HKCR\Quenta.QuentaBar\CLSID' '' "$clsid"
  reg_key_exists "HKCR\\TypeLib\\$typelib" || fail "the type library is not registered"
  reg_value "$toolbar_key" "$clsid" >/dev/null || fail "the browser toolbar entry is missing"
  # Registered by its own DllRegisterServer: its class leads to the installed copy.
  album_clsid=$(reg_value "$album_progid\\CLSID" '') ||
    fail "the album component is not registered: $(tr -d '\r' <"$out")"
  expect_value "HKCR\\CLSID\\$album_clsid\\InprocServer32" '' "$folder\\$album_dll"
  expect_value "$uninstall_key" DisplayName Vexaro
  expect_value "$uninstall_key" DisplayVersion 1.2.0
  expect_value "$uninstall_key" Publisher Norlume
  expect_value "$uninstall_key" UninstallString "\"$folder\\uninstall.exe\""
  local size
  size=$(reg_value "$uninstall_key" EstimatedSize) || fail "no EstimatedSize"
  [ $((size)) -gt 100 ] || fail "EstimatedSize is $size KB"
  [ -f "$programs/Vexaro.lnk" ] || fail "the Start-menu shortcut to Vexaro is missing"
  tr -d '\0' <"$programs/Vexaro.lnk" | grep -a -q -F "$folder\\Vexaro.exe" ||
    fail "the shortcut does not lead to $folder\\Vexaro.exe"
  [ -f "$programs/Vexaro User Manual.lnk" ] || fail "the shortcut to the manual is missing"
}

# Nothing that setup wrote is left, for an install into folder $1.
check_uninstalled() {
  local dir f
  dir=$(unix_of "$1")
  for f in "${shipped[@]}" cacheurl.xml; do
    [ ! -e "$dir/$f" ] || fail "$f is still in $1"
  done
  [ ! -e "$programs" ] || fail "the Start-menu folder is still there: $(ls "$programs")"
  ! reg_value "$vexaro_key" InstallPath >/dev/null || fail "InstallPath is still set"
  expect_no_key "$uninstall_key"
  expect_no_key "HKCR\\CLSID\\$clsid"
  expect_no_key 'HKCR\Quenta.QuentaBar'
  expect_no_key 'HKCR\Quenta.QuentaBar.1'
  expect_no_key "HKCR\\TypeLib\\$typelib"
  ! reg_value "$toolbar_key" "$clsid" >/dev/null || fail "the browser toolbar entry is still there"
  # Its DllUnregisterServer also removes what it wrote among the user's own classes.
  expect_no_key "$album_progid"
  expect_no_key "HKCU\\Software\\Classes\\${album_progid#HKCR\\}"
  expect_no_key "HKCR\\CLSID\\$album_clsid"
}

# ---- a silent install into the default folder ----
folder="$(windows_env LOCALAPPDATA)\\Norlume\\Vexaro"
installed=$(unix_of "$folder")
run_setup /S || fail "the silent install failed (exit code $?)"
check_installed "$folder"

# ---- the band, loaded by the stand-in browser, starts the installed Vexaro.exe /all ----
www=$work/www
mkdir -p "$www/a" "$www/b"
head -c 3000 /dev/urandom >"$www/a/photo.jpg"
head -c 5000 /dev/urandom >"$www/a/song.mp3"
head -c 2500 /dev/urandom >"$www/b/picture.png"
start_server "$www"
cat >"$bin/standin-windows.xml" <<XML
<BROWSER>
<WINDOW TITLE="A" URL="$base/a/index.html" KIND="html">
<IMG SRC="$base/a/photo.jpg" WIDTH="300" HEIGHT="200"/>
<A HREF="$base/a/song.mp3"/>
</WINDOW>
<WINDOW TITLE="B" URL="$base/b/index.html" KIND="html">
<IMG SRC="$base/b/picture.png" WIDTH="50" HEIGHT="50"/>
</WINDOW>
</BROWSER>
XML
wine regsvr32 /s "$(winpath "$bin/StandinShell.dll")" >"$out" 2>&1 ||
  fail "the stand-in shell could not be registered"
# Only the installed folder holds this configuration: the files land in $save only when the
# band found that folder through InstallPath.
save=$work/save
mkdir -p "$save"
write_config "$save"
mv "$bin/config.xml" "$installed/config.xml"

trap 'stop_browser; harness_cleanup' EXIT
wine "$(winpath "$bin/standin-browser.exe")" >"$work/browser.txt" 2>&1 &
browser_pid=$!
wine "$(winpath "$bin/demo-driver.exe")" --band "A - Stand-in Browser" --choose all \
  --timeout 120 >"$work/driver.txt" 2>&1 || fail "the installed band's menu could not be used"
wine "$(winpath "$bin/demo-driver.exe")" --caption "Download complete!" --press 2 --timeout 300 \
  >>"$work/driver.txt" 2>&1 || fail "the installed Vexaro did not finish the pages"
for f in a/photo.jpg a/song.mp3 b/picture.png; do
  cmp -s "$save/${f#*/}" "$www/$f" || fail "${f#*/} was not saved as served"
done

# ---- the user's data, and downloads in the default save folder inside the install folder ----
mkdir -p "$installed/History" "$installed/Download"
printf '<HISTORY>\r\n</HISTORY>' >"$installed/History/2026-12-07"
head -c 700 /dev/urandom >"$installed/Download/kept.jpg"
mkdir -p "$work/user"
cp -a "$installed/config.xml" "$installed/History" "$installed/Download" "$work/user/"

# ---- an upgrade over it while the browser holds the band: the program is replaced, the
# user's data stays ----
printf 'an older Vexaro' >"$installed/Vexaro.exe"
run_setup /S || fail "the install over the first failed (exit code $?)"
check_installed "$folder"
! grep -q 'an older Vexaro' "$installed/Vexaro.exe" || fail "the upgrade kept the old Vexaro.exe"
diff -r "$work/user/History" "$installed/History" >/dev/null || fail "the upgrade changed History"
cmp -s "$work/user/config.xml" "$installed/config.xml" || fail "the upgrade changed config.xml"
stop_browser

# ---- a silent uninstall: the program goes, the user's data and the downloads stay ----
printf '<URLCACHE>\r\n<URL>x</URL>\r\n</URLCACHE>' >"$installed/cacheurl.xml"
run_uninstaller "$folder"
check_uninstalled "$folder"
cmp -s "$work/user/config.xml" "$installed/config.xml" || fail "config.xml was not kept"
diff -r "$work/user/History" "$installed/History" >/dev/null || fail "History was not kept"
diff -r "$work/user/Download" "$installed/Download" >/dev/null ||
  fail "the downloads in the install folder were touched"
for f in photo.jpg song.mp3 picture.png; do
  [ -f "$save/$f" ] || fail "the saved $f was removed"
done

# ---- another folder (/D=, which takes the rest of the line, spaces and all) ----
other='C:\Other Place\Vexaro'
run_setup /S "/D=$other" || fail "the install into $other failed (exit code $?)"
check_installed "$other"
run_uninstaller "$other"
check_uninstalled "$other"
[ ! -e "$(unix_of "$other")" ] || fail "the emptied folder $other was left behind"

# ---- uninstalled by hand: the user confirms, then says yes to deleting settings and history;
# the downloads in the default save folder stay ----
run_setup /S "/D=$other" || fail "the second install into $other failed (exit code $?)"
dir=$(unix_of "$other")
mkdir -p "$dir/History" "$dir/Download"
printf '<CONFIG>\r\n</CONFIG>' >"$dir/config.xml"
printf '<HISTORY>\r\n</HISTORY>' >"$dir/History/2026-12-07"
head -c 700 /dev/urandom >"$dir/Download/kept.jpg"
cp "$dir/Download/kept.jpg" "$work/kept.jpg"
cp "$dir/uninstall.exe" "$work/un.exe"
wine cmd /c "$(winpath "$work/un.exe") _?=$other" >"$work/uninstall.txt" 2>&1 &
uninstaller_pid=$!
driver="$(winpath "$bin/demo-driver.exe")"
# The pages of the uninstaller add a blank sub-caption to its title.
wine "$driver" --caption "Vexaro Uninstall " --press 1 --keep --timeout 120 >>"$work/driver.txt" 2>&1 ||
  fail "the uninstaller's confirmation could not be answered"
wine "$driver" --caption "Vexaro" --press 6 --timeout 120 >>"$work/driver.txt" 2>&1 ||
  fail "the uninstaller did not ask about the settings and history"
wait "$uninstaller_pid" || fail "the uninstaller failed"
check_uninstalled "$other"
[ ! -e "$dir/config.xml" ] || fail "config.xml was kept after the user chose to delete it"
[ ! -e "$dir/History" ] || fail "History was kept after the user chose to delete it"
cmp -s "$dir/Download/kept.jpg" "$work/kept.jpg" || fail "a downloaded file was removed"

# ---- folders the program could not use are refused, and nothing is written ----
long="C:\\$(printf 'x%.0s' $(seq 1 240))"
for bad in 'C:\Программы\Vexaro' "$long"; do
  rc=0
  run_setup /S "/D=$bad" || rc=$?
  [ "$rc" = 2 ] || fail "setup took the folder $bad (exit code $rc)"
  [ ! -e "$(unix_of "$bad")" ] || fail "setup wrote into the refused folder $bad"
  ! reg_value "$vexaro_key" InstallPath >/dev/null || fail "a refused install set InstallPath"
  expect_no_key "HKCR\\CLSID\\$clsid"
done

echo "PASS: install, harvest, upgrade, uninstall and another folder"
