#!/usr/bin/env bash
# The setup program under Wine (tests/windows/run_suite.sh win32 setup; it
# builds the setup with scripts/package.sh setup first). Two scenarios, each
# in a fresh Wine prefix: a copy of one that was initialised once and never
# used (build/wine-setup-base), as a new prefix takes minutes and a copy
# seconds.
#
#   The host found through its uninstall entry: with a fake host registered,
#   /S installs the DLL and writes the settings file with the defaults,
#   TradeQuik's order switch, cap and mode, and the trade folder and the
#   journal in Documents; into the program folder (msx_qmr in the 32-bit
#   Program Files) go the guides, the text files as Windows reads them, the
#   tester with the bundled prices and the DLL's path, and the uninstaller,
#   which Add/Remove Programs names; the Start menu gets the guides and the
#   tester's prompt. The prompt puts the tester on the path and opens in
#   Documents\msx_qmr with a copy of the prices, and there the installed
#   tester's describe loads the DLL from the host's folder, leaving the
#   settings file as it is. /S again, over a changed settings file
#   (TransId=57, a last-seen key) and an install of the earlier layout (the
#   uninstaller beside the DLL), keeps the settings file byte for byte and
#   moves the uninstaller to the program folder. The uninstaller removes the
#   DLL, the program folder, the Start menu's entries and the Add/Remove
#   Programs entry, and keeps the settings file byte for byte.
#   The host found in the program folders (no registry entry): screenshots
#   of the setup's pages in out/windows/setup/: the host's folder
#   (setup-en.png), the program folder (setup-tools-en.png) and, after
#   installing, the finish page (setup-finish-en.png); Enter on each page
#   (sent with xdotool) installs and ends setup.
#
# Where 32-bit programs run through qemu-user, a start of a 32-bit Wine
# program takes two to five minutes on a busy machine, so the suite starts
# six, each bounded by a time limit. SETUP_CHECK_ALL=1 adds five: /S
# without a host (installs nothing, exit code 2), the pages in Russian
# (setup-ru.png, setup-tools-ru.png, setup-finish-ru.png), /S with
# /TOOLS= a folder with spaces and /D=FOLDER (into those folders, not into
# the ones found), /S with a /TOOLS= that is no full path (exit code 2) and
# /S into the folder found in the program folders.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
version=1.8.0.11
setup=$root/out/package/msx_qmr-$version-setup.exe
dll=$root/build/win32/msx_qmr.dll
host=$root/build/win32/msxhost.exe
base=$root/build/wine-setup-base
work=$root/build/wine-setup
out=$root/out/windows/setup
wine=/usr/lib/wine/wine
wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
uninstall_key='HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\msx_qmr'
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

limit=900  # seconds for one 32-bit Wine program
run32() { timeout "$limit" "$wine" "$@"; }

failures=0
pass() { echo "  ok: $1"; }
fail() { echo "  FAILED: $1"; failures=$((failures + 1)); }
check() {  # check WHAT COMMAND...
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

if ! command -v Xvfb >/dev/null || ! command -v import >/dev/null || ! command -v xdotool >/dev/null; then
  echo "setup_check: needs Xvfb, ImageMagick's import and xdotool" >&2
  exit 1
fi
scripts/package.sh setup >/dev/null || { echo "setup_check: scripts/package.sh setup failed" >&2; exit 1; }
mkdir -p "$out" "$work"
# A copy of its own: a running setup reads its files from its program.
cp "$setup" "$work/setup.exe"
setup=$work/setup.exe

# The base prefix is made again when Wine changes (Wine would update its
# DLLs in place, and they are shared by hard links).
if [ "$(cat "$base/.ready" 2>/dev/null)" != "$("$wine" --version)" ]; then
  echo "setup_check: creating the Wine prefix $base (once; takes minutes)"
  rm -rf "$base"
  WINEPREFIX=$base "$wine64" wineboot --init >/dev/null 2>&1
  WINEPREFIX=$base "$wineserver" -w
  # A new prefix links Documents and its like to the home folder: make them
  # folders of the prefix, so that setup's trade folder stays inside it.
  for link in "$base"/drive_c/users/*/*; do
    if [ -L "$link" ]; then rm "$link" && mkdir "$link"; fi
  done
  "$wine" --version > "$base/.ready"
fi

fresh_prefix() {  # fresh_prefix NAME: WINEPREFIX, a copy of the base
  export WINEPREFIX=$work/$1
  rm -rf "$WINEPREFIX"
  # Wine's own DLLs (system32, syswow64, winsxs: 1.2 GB that nothing here
  # writes) as hard links, every other file (the registry, the .ini files)
  # as a copy of its own.
  cp -al "$base" "$WINEPREFIX"
  (cd "$WINEPREFIX" && find . \( -path ./drive_c/windows/system32 -o -path ./drive_c/windows/syswow64 \
      -o -path ./drive_c/windows/winsxs \) -prune -o -type f -print0 |
    xargs -0 -I{} sh -c 'cp -p "$1" "$1.copy" && mv -f "$1.copy" "$1"' _ {})
}
unix_path() { echo "$WINEPREFIX/drive_c/${1#C:\\}" | tr '\\' /; }
in_registry() { "$wine64" reg query "$1" >/dev/null 2>&1; }
# The settings file setup writes: the library's defaults, TradeQuik's
# safety keys as they behave when absent, trade files and the journal in Documents.
seeded() {  # seeded TRADE_FOLDER
  printf '[TradeFile]\r\nAuthor=noname\r\nDirectory=%s\r\nClosePositionAtLastBar=no\r\n\r\n' "$1"
  printf '[TradeQuik]\r\nAccount=\r\nClientCode=\r\nFile=\r\n'
  printf 'Template=TRANS_ID=%%N;ACCOUNT=%%A;CLIENT_CODE=%%C;TYPE=%%T;CLASSCODE=%%M;SECCODE=%%S;ACTION=NEW_ORDER;OPERATION=%%O;PRICE=%%P;QUANTITY=%%Q;\r\n'
  printf 'Enabled=yes\r\nMaxQuantity=0\r\nOrders=Changes\r\nJournal=%s\\msx_qmr journal.csv\r\n' "$1"
}

# windows_text INSTALLED SOURCE ansi|notepad: SOURCE's lines with CR LF ends;
# ansi: plain ASCII without a byte-order mark (the settings example, as the
# profile API reads it, and the command script); notepad: a UTF-8 mark
# exactly when the text goes beyond ASCII.
windows_text() {
  python3 - "$@" <<'PY'
import sys
installed, source, kind = sys.argv[1:]
got = open(installed, "rb").read()
want = open(source, "rb").read().replace(b"\r\n", b"\n")
mark = b"\xef\xbb\xbf"
body = got[len(mark):] if got.startswith(mark) else got
ok = body.replace(b"\r\n", b"\n") == want and body.count(b"\n") == body.count(b"\r\n")
if kind == "ansi":
    ok = ok and not got.startswith(mark) and all(b < 0x80 for b in got)
else:
    ok = ok and got.startswith(mark) == any(b >= 0x80 for b in want)
sys.exit(0 if ok else 1)
PY
}
# links LNK TARGET: the shortcut names TARGET (in the ANSI or UTF-16 form).
links() {
  python3 -c 'import sys; d = open(sys.argv[1], "rb").read(); t = sys.argv[2]
sys.exit(0 if t.encode("cp1252") in d or t.encode("utf-16-le") in d else 1)' "$1" "$2"
}
same_files() {  # same_files FROM TO FILE...: each FILE the same in both folders
  local from=$1 to=$2 f
  shift 2
  for f; do cmp -s "$from/$f" "$to/$f" || return 1; done
}
registry_value() {  # registry_value NAME: the uninstall entry's value
  "$wine64" reg query "$uninstall_key" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p"
}

echo "== setup finds the host through its uninstall entry (fresh prefix)"
fresh_prefix registry
folder='C:\Charting\MetaStock 99\External Function DLLs'
dir=$(unix_path "$folder")
tools='C:\Program Files (x86)\msx_qmr'
tdir=$(unix_path "$tools")
menu=$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/msx_qmr
if [ -n "${SETUP_CHECK_ALL:-}" ]; then
  run32 "$setup" /S
  check "without a host, /S installs nothing and ends with code 2" \
    test "$?" = 2 -a ! -e "$(unix_path 'C:\Charting')" -a ! -e "$tdir"
fi
mkdir -p "$dir"
cat > "$WINEPREFIX/drive_c/fakehost.reg" <<'REG'
REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\FakeHost99]
"DisplayName"="MetaStock 99 (a fake host)"
"InstallLocation"="C:\\Charting\\MetaStock 99"
REG
"$wine64" regedit /S 'C:\fakehost.reg'
run32 "$setup" /S
check "/S installs (exit code $?)" test "$?" = 0
check "the DLL is in the host's folder" cmp -s "$dll" "$dir/msx_qmr.dll"
user=$(ls "$WINEPREFIX/drive_c/users" | grep -vx Public | head -1)
trades="C:\\users\\$user\\Documents\\msx_qmr trades"
seeded "$trades" > "$out/seeded.ini"
check "the settings file holds the defaults, trade files and the journal in Documents" cmp "$out/seeded.ini" "$dir/msx_qmr.ini"
check "the trade folder is there" test -d "$(unix_path "$trades")"
check "the host's folder holds only the DLL and the settings file" \
  test "$(ls "$dir" | tr '\n' ' ')" = "msx_qmr.dll msx_qmr.ini "
check "the guides are in the program folder" same_files build/guide-html "$tdir" guide.html guide.ru.html
for f in docs/INSTALL.txt CHANGELOG.txt LICENSE.txt; do
  check "$(basename "$f") is there, CR LF, a byte-order mark where it holds Russian" \
    windows_text "$tdir/$(basename "$f")" "$f" notepad
done
check "the settings example is there, ASCII and CR LF without a byte-order mark" \
  windows_text "$tdir/msx_qmr.ini.example" docs/msx_qmr.ini.example ansi
check "the tester is there" cmp -s "$host" "$tdir/msxhost.exe"
check "with the bundled prices" same_files "$root" "$tdir" data/*.csv data/formulas.txt
check "msxhost.lib beside it names the installed DLL" \
  test "$(cat "$tdir/msxhost.lib")" = "$folder\\msx_qmr.dll"$'\r'
check "the uninstaller is in the program folder, and Add/Remove Programs runs it" \
  test -f "$tdir/msx_qmr-uninstall.exe" -a "$(registry_value UninstallString)" = "\"$tools\\msx_qmr-uninstall.exe\""
check "the Start menu's Guide opens the English guide" links "$menu/Guide.lnk" "$tools\\guide.html"
check "the Start menu's Руководство opens the Russian guide" links "$menu/Руководство.lnk" "$tools\\guide.ru.html"
check "the Start menu's Formula tester opens the tester's prompt" \
  links "$menu/Formula tester.lnk" "$tools\\msxhost-prompt.cmd"

# What the tester's Start menu entry runs, then the tester as a user would.
printf '@call "%s\\msxhost-prompt.cmd"\r\n@cd\r\n@msxhost describe\r\n' "$tools" > "$WINEPREFIX/drive_c/prompt-check.cmd"
LC_ALL=C timeout "$limit" "$wine64" cmd /c 'C:\prompt-check.cmd' 2>&1 | tr -d '\r' > "$out/prompt.txt"
work_folder="C:\\users\\$user\\Documents\\msx_qmr"
check "the tester's prompt opens in Documents\\msx_qmr" grep -qxF "$work_folder" "$out/prompt.txt"
check "with a copy of the bundled prices" same_files "$root" "$(unix_path "$work_folder")" data/*.csv data/formulas.txt
check "the installed tester's describe loads the DLL in the host's folder" grep -q '^\[0\] NRTR' "$out/prompt.txt"
check "its first load leaves the settings file as setup wrote it" cmp "$out/seeded.ini" "$dir/msx_qmr.ini"

# A host that has traded: a transaction number and a last-seen bar.
python3 - "$dir/msx_qmr.ini" <<'PY'
import sys
path = sys.argv[1]
text = open(path, "rb").read().replace(b"[TradeQuik]\r\n", b"[TradeQuik]\r\nTransId=57\r\n")
text += b"\r\n[C:\\Data\\SEC1(D)]\r\nClassCode=TQBR\r\nSecCode=SEC1\r\nDateTime_ACC1_CL1_1=20240117,0\r\n"
open(path, "wb").write(text)
PY
cp "$dir/msx_qmr.ini" "$out/traded.ini"
# And an install by an earlier setup: no program folder, the uninstaller
# beside the DLL, the host's folder as the install location.
cp "$tdir/msx_qmr-uninstall.exe" "$dir/"
rm -rf "$tdir" "$menu"
"$wine64" reg delete "$uninstall_key" /v HostFolder /f >/dev/null 2>&1
"$wine64" reg add "$uninstall_key" /v InstallLocation /d "$folder" /f >/dev/null 2>&1
run32 "$setup" /S
check "/S over an installed copy (exit code $?)" test "$?" = 0
check "the changed settings file is kept byte for byte" cmp "$out/traded.ini" "$dir/msx_qmr.ini"
check "the DLL is in place" cmp -s "$dll" "$dir/msx_qmr.dll"
check "the earlier uninstaller beside the DLL is gone, the program folder has one" \
  test ! -e "$dir/msx_qmr-uninstall.exe" -a -f "$tdir/msx_qmr-uninstall.exe" -a -f "$tdir/msxhost.exe"
check "the uninstall entry names both folders" \
  test "$(registry_value HostFolder)" = "$folder" -a "$(registry_value InstallLocation)" = "$tools"

# The uninstaller starts a copy of itself and ends; under Wine through qemu
# it was seen to end by SIGKILL, which bash reports: the checks below judge.
(run32 "$tools\\msx_qmr-uninstall.exe" /S) 2>/dev/null
timeout "$limit" "$wineserver" -w  # the uninstaller runs on from a copy of itself
check "the uninstaller removes the DLL" test ! -e "$dir/msx_qmr.dll"
check "the uninstaller removes the program folder" test ! -e "$tdir"
check "the uninstaller removes the Start menu's entries" test ! -e "$menu"
check "the uninstaller keeps the settings file byte for byte" cmp "$out/traded.ini" "$dir/msx_qmr.ini"
check "the uninstaller keeps the user's Documents\\msx_qmr" test -f "$(unix_path "$work_folder")/data/goog-daily.csv"
check "the Add/Remove Programs entry is gone" eval '! in_registry "$uninstall_key"'

# shot PNG PREVIOUS: a screenshot once the screen is drawn and differs from
# PREVIOUS (none: from black), then again when the page is drawn in full.
shot() {
  local colours=0 changed=0
  for _ in $(seq "$limit"); do
    sleep 1
    import -display "$display" -window root "$1" 2>/dev/null || continue
    colours=$(convert "$1" -format %k info: 2>/dev/null || echo 0)
    [ "$colours" -gt 2 ] || continue
    [ -z "$2" ] && break
    changed=$(compare -metric AE "$1" "$2" null: 2>&1 || true)
    [ "${changed%% *}" != 0 ] && break
  done
  sleep 5
  import -display "$display" -window root "$1" 2>/dev/null
  colours=$(convert "$1" -format %k info: 2>/dev/null || echo 0)
  check "$(basename "$1") ($colours colours)" test "$colours" -gt 2
}
# pages LOCALE LANGUAGE: setup in the locale, Enter on each page (the
# pointer over the window, which then has the keyboard); screenshots of the
# host's folder, the program folder and the finish page.
pages() {
  fresh_prefix "pages-$2"
  local found='C:\Program Files (x86)\Fake Maker\MetaStock 99\External Function DLLs'
  mkdir -p "$(unix_path "$found")"
  DISPLAY=$display LC_ALL=$1 run32 "$setup" >/dev/null 2>&1 &
  local pid=$! previous="" page
  for page in setup setup-tools setup-finish; do
    shot "$out/$page-$2.png" "$previous"
    previous=$out/$page-$2.png
    DISPLAY=$display xdotool mousemove 512 300 key Return
  done
  timeout "$limit" "$wineserver" -w || "$wineserver" -k
  wait "$pid" 2>/dev/null
  local code=$?
  check "Enter on each page installs, and on the last ends setup ($2, exit code $code)" \
    test "$code" = 0 -a -f "$(unix_path "$found")/msx_qmr.dll"
}

echo "== setup finds the host in the program folders: its pages (fresh prefixes)"
display=:$((110 + RANDOM % 80))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
pages C en
[ -n "${SETUP_CHECK_ALL:-}" ] && pages ru_RU.UTF-8 ru
kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null

if [ -n "${SETUP_CHECK_ALL:-}" ]; then
  echo "== setup finds the host in the program folders: /S (fresh prefix)"
  fresh_prefix folders
  folder='C:\Program Files (x86)\Fake Maker\MetaStock 99\External Function DLLs'
  dir=$(unix_path "$folder")
  mkdir -p "$dir"
  chosen=$(unix_path 'C:\Admin\Chosen')
  chosen_tools=$(unix_path 'C:\Admin\My Tools')
  run32 "$setup" /S '/TOOLS=C:\Admin\My Tools' '/D=C:\Admin\Chosen'
  check "/S /TOOLS=C:\\Admin\\My Tools /D=C:\\Admin\\Chosen installs there, not into the folders found (exit code $?)" \
    test "$?" = 0 -a -f "$chosen/msx_qmr.dll" -a -f "$chosen/msx_qmr.ini" -a ! -e "$dir/msx_qmr.dll" \
    -a "$(cat "$chosen_tools/msxhost.lib" 2>/dev/null)" = 'C:\Admin\Chosen\msx_qmr.dll'$'\r' \
    -a ! -e "$(unix_path 'C:\Program Files (x86)\msx_qmr')"
  "$wine64" reg delete "${uninstall_key}" /f >/dev/null 2>&1  # forget the install into C:\Admin
  run32 "$setup" /S /TOOLS=tools
  check "/S /TOOLS= without a full path installs nothing and ends with code 2" test "$?" = 2 -a ! -e "$dir/msx_qmr.dll"
  run32 "$setup" /S
  check "/S installs into the folder found (exit code $?)" test "$?" = 0 -a -f "$dir/msx_qmr.dll"
fi
"$wineserver" -k 2>/dev/null

echo "setup_check: $failures failed"
[ "$failures" = 0 ]
