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
#   journal in Documents; the installed DLL loads (msxhost.exe
#   describe) and leaves that file as it is; /S again over a changed
#   settings file (TransId=57, a last-seen key) keeps it byte for byte; the
#   uninstaller removes the DLL, itself and the Add/Remove Programs entry
#   and keeps the settings file byte for byte.
#   The host found in the program folders (no registry entry): a screenshot
#   of the setup's first page, out/windows/setup/setup-en.png.
#
# Where 32-bit programs run through qemu-user, a start of a 32-bit Wine
# program takes two to five minutes on a busy machine, so the suite starts
# six, each bounded by a time limit. SETUP_CHECK_ALL=1 adds four: /S
# without a host (installs nothing, exit code 2), the first page in Russian
# (setup-ru.png), /S /D=FOLDER (into FOLDER, not into the folder found) and
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

if ! command -v Xvfb >/dev/null || ! command -v import >/dev/null; then
  echo "setup_check: needs Xvfb and ImageMagick's import" >&2
  exit 1
fi
scripts/package.sh setup >/dev/null || { echo "setup_check: scripts/package.sh setup failed" >&2; exit 1; }
mkdir -p "$out" "$work"

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

echo "== setup finds the host through its uninstall entry (fresh prefix)"
fresh_prefix registry
folder='C:\Charting\MetaStock 99\External Function DLLs'
dir=$(unix_path "$folder")
if [ -n "${SETUP_CHECK_ALL:-}" ]; then
  run32 "$setup" /S
  check "without a host, /S installs nothing and ends with code 2" \
    test "$?" = 2 -a ! -e "$(unix_path 'C:\Charting')"
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
check "an Add/Remove Programs entry" in_registry "$uninstall_key"
check "the uninstaller is there" test -f "$dir/msx_qmr-uninstall.exe"
LC_ALL=C run32 "$host" describe --lib "$folder\\msx_qmr.dll" > "$out/describe.txt" 2>&1
check "the installed DLL loads: msxhost.exe describe" grep -q '^\[0\] NRTR' "$out/describe.txt"
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
run32 "$setup" /S
check "/S over an installed copy (exit code $?)" test "$?" = 0
check "the changed settings file is kept byte for byte" cmp "$out/traded.ini" "$dir/msx_qmr.ini"
check "the DLL is in place" cmp -s "$dll" "$dir/msx_qmr.dll"

# The uninstaller starts a copy of itself and ends; under Wine through qemu
# it was seen to end by SIGKILL, which bash reports: the checks below judge.
(run32 "$folder\\msx_qmr-uninstall.exe" /S) 2>/dev/null
timeout "$limit" "$wineserver" -w  # the uninstaller runs on from a copy of itself
check "the uninstaller removes the DLL" test ! -e "$dir/msx_qmr.dll"
check "the uninstaller removes itself" test ! -e "$dir/msx_qmr-uninstall.exe"
check "the uninstaller keeps the settings file byte for byte" cmp "$out/traded.ini" "$dir/msx_qmr.ini"
check "the Add/Remove Programs entry is gone" eval '! in_registry "$uninstall_key"'

echo "== setup finds the host in the program folders (fresh prefix)"
fresh_prefix folders
folder='C:\Program Files (x86)\Fake Maker\MetaStock 99\External Function DLLs'
dir=$(unix_path "$folder")
mkdir -p "$dir"
display=:$((110 + RANDOM % 80))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
shot() {  # shot LOCALE PNG: the first page, once it is drawn
  DISPLAY=$display LC_ALL=$1 run32 "$setup" >/dev/null 2>&1 &
  local pid=$! colours=0
  for _ in $(seq "$limit"); do
    sleep 1
    import -display "$display" -window root "$2" 2>/dev/null || continue
    colours=$(convert "$2" -format %k info: 2>/dev/null || echo 0)
    [ "$colours" -gt 2 ] && break
  done
  sleep 5  # the page, drawn in full
  import -display "$display" -window root "$2" 2>/dev/null
  colours=$(convert "$2" -format %k info: 2>/dev/null || echo 0)
  "$wineserver" -k
  wait "$pid" 2>/dev/null
  check "the first page ($1): $2 ($colours colours)" test "$colours" -gt 2
}
shot C "$out/setup-en.png"
[ -n "${SETUP_CHECK_ALL:-}" ] && shot ru_RU.UTF-8 "$out/setup-ru.png"
kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null
if [ -n "${SETUP_CHECK_ALL:-}" ]; then
  chosen=$(unix_path 'C:\Admin\Chosen')
  run32 "$setup" /S '/D=C:\Admin\Chosen'
  check "/S /D=C:\\Admin\\Chosen installs there and not into the folder found (exit code $?)" \
    test "$?" = 0 -a -f "$chosen/msx_qmr.dll" -a -f "$chosen/msx_qmr.ini" -a ! -e "$dir/msx_qmr.dll"
  "$wine64" reg delete "${uninstall_key}" /f >/dev/null 2>&1  # forget the install into C:\Admin\Chosen
  run32 "$setup" /S
  check "/S installs into the folder found (exit code $?)" test "$?" = 0 -a -f "$dir/msx_qmr.dll"
fi
"$wineserver" -k 2>/dev/null

echo "setup_check: $failures failed"
[ "$failures" = 0 ]
