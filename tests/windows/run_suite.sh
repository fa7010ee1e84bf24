#!/usr/bin/env bash
# The Windows suite: the Windows builds under Wine, with the real Win32 API.
#
#   tests/windows/run_suite.sh win64   the end-to-end suite (in the C and the
#                                      Russian locale) and the formula outputs
#   tests/windows/run_suite.sh win32   the product DLL: the formula outputs in
#                                      one run of the 32-bit msxhost.exe
#   tests/windows/run_suite.sh win64 announcement
#                                      only the load-time announcement's
#                                      window check (part of the win64 run)
#   tests/windows/run_suite.sh win32 setup
#                                      the setup program: install, upgrade
#                                      and uninstall in fresh Wine prefixes
#                                      (tests/windows/setup_check.sh)
#
# Formula outputs (tests/windows/formulas.txt over the bundled prices, and an
# SVG chart) must be byte-identical to the native build's. Each Wine build
# gets a prefix of its own under build/. Exit status 0 when every check
# passed; a 32-bit run on a machine that cannot run 32-bit Windows programs
# is skipped with a message, not failed.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
arch=${1:?usage: run_suite.sh win64|win32}
build=$root/build/$arch
native=$root/build/native
out=$root/out/windows/$arch
data=data/goog-daily.csv
formulas=tests/windows/formulas.txt
mkdir -p "$out"

case $arch in
  win64) wine=/usr/lib/wine/wine64 ;;
  win32) wine=/usr/lib/wine/wine ;;
  *) echo "run_suite: unknown target $arch" >&2; exit 2 ;;
esac
export WINEARCH=win64 WINEPREFIX=$root/build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

failures=0
pass() { echo "  ok: $1"; }
fail() { echo "  FAILED: $1"; failures=$((failures + 1)); }
same() {  # same FILE_A FILE_B WHAT
  if cmp -s "$1" "$2"; then pass "$3"; else fail "$3 (diff $1 $2)"; diff "$1" "$2" | head -5; fi
}

if [ ! -x "$wine" ] || ! "$wine" --version >/dev/null 2>&1; then
  if [ "$arch" = win32 ]; then
    echo "run_suite: this machine cannot run 32-bit Windows programs (no working $wine);"
    echo "run_suite: SKIPPED the 32-bit checks of the product DLL"
    exit 0
  fi
  echo "run_suite: $wine does not run" >&2
  exit 1
fi
if [ "${2:-}" = setup ]; then
  [ "$arch" = win32 ] || { echo "run_suite: the setup program is checked on win32" >&2; exit 2; }
  exec tests/windows/setup_check.sh
fi
if [ ! -f "$build/msxhost.exe" ] || [ ! -f "$build/msx_qmr.dll" ]; then
  echo "run_suite: build $arch first (msxhost.exe and msx_qmr.dll)" >&2
  exit 1
fi
if [ ! -d "$WINEPREFIX" ]; then
  echo "run_suite: creating the Wine prefix $WINEPREFIX (once; takes a few minutes)"
  /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
  /usr/lib/wine/wineserver -w 2>/dev/null || true
fi

# The announcement: loaded by a program named MSWIN.EXE (any letter case) the
# library shows its help text in a box captioned "MetaStock Extention
# v1.8.0.11" for three seconds; loaded by msxhost.exe it shows nothing. A
# helper (msx_window_check.exe) finds the box by its caption (without a
# window manager a screenshot shows no title bar) and reads its text; the
# screenshot stays in $out/announcement.png for a look.
announce_check() {
  local dir=$out/announce check=$build/msx_window_check.exe display=:$((90 + RANDOM % 9)) xvfb
  if ! command -v Xvfb >/dev/null || ! command -v import >/dev/null || [ ! -f "$check" ]; then
    fail "announcement: needs Xvfb, ImageMagick's import and msx_window_check.exe"
    return
  fi
  rm -rf "$dir" && mkdir -p "$dir/upper" "$dir/lower" "$dir/tester"
  cp "$check" "$dir/upper/MSWIN.EXE"
  cp "$check" "$dir/lower/MsWin.exe"
  cp "$build/msxhost.exe" "$dir/tester/MSWIN.EXE"
  for d in upper lower tester; do cp "$build/msx_qmr.dll" "$dir/$d/"; done
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  sleep 1
  export DISPLAY=$display
  {
    # 1. A program named MSWIN.EXE: the box opens, shows the text and
    #    closes by itself.
    rm -f "$dir/open.txt"
    "$wine" "$check" watch 30000 "Z:$dir/open.txt" > "$dir/watch.txt" 2>&1 &
    local watcher=$!
    sleep 1
    "$wine" "$dir/upper/MSWIN.EXE" hold "Z:$dir/upper/msx_qmr.dll" > "$dir/hold.txt" 2>&1 &
    local host=$!
    for _ in $(seq 300); do [ -s "$dir/open.txt" ] && break; sleep 0.1; done
    [ -s "$dir/open.txt" ] && import -display "$display" -window root "$out/announcement.png" 2>/dev/null
    wait "$host"; local host_rc=$?
    if wait "$watcher"; then pass "the box is found; $(tail -1 "$dir/watch.txt")"
    else fail "announcement box (see $dir/watch.txt)"; cat "$dir/watch.txt"; fi
    [ "$host_rc" = 0 ] || fail "MSWIN.EXE holding the library (see $dir/hold.txt)"
    if grep -q '^          Metastock external functions are based on the following publications:' "$dir/watch.txt" &&
       grep -q '^NRTR -    "New Russian" Trailing Reverse Function' "$dir/watch.txt"; then
      pass "the box shows the heading and the help text"
    else fail "the box's text (see $dir/watch.txt)"; fi
    # A screenshot of a text box on a black screen holds many more colours
    # than the screen alone.
    local colours
    colours=$(convert "$out/announcement.png" -format %k info: 2>/dev/null || echo 0)
    if [ "${colours:-0}" -gt 2 ]; then pass "screenshot $out/announcement.png ($colours colours)"
    else fail "screenshot $out/announcement.png is empty"; fi
    # 2. FreeLibrary while the box is open (the name in another letter case):
    #    it returns at once, the box closes by itself, and the library,
    #    held by its thread, unloads after that without harm.
    if "$wine" "$dir/lower/MsWin.exe" free "Z:$dir/lower/msx_qmr.dll" > "$dir/free.txt" 2>&1; then
      pass "$(tail -1 "$dir/free.txt")"
    else fail "FreeLibrary while the box is open (see $dir/free.txt)"; cat "$dir/free.txt"; fi
    # 3. The process ends while the box is open: no hang at exit; also the
    #    tester renamed MSWIN.EXE, which frees the library and ends at once.
    if timeout 30 "$wine" "$dir/lower/MsWin.exe" exit "Z:$dir/lower/msx_qmr.dll" > "$dir/exit.txt" 2>&1; then
      pass "the process ends while the box is open"
    else fail "process exit while the box is open (see $dir/exit.txt)"; fi
    if LC_ALL=C timeout 30 "$wine" "$dir/tester/MSWIN.EXE" describe > "$dir/describe.txt" 2>&1 &&
       grep -q '^\[0\] NRTR' "$dir/describe.txt"; then
      pass "the tester named MSWIN.EXE describes the library and ends"
    else fail "the tester named MSWIN.EXE (see $dir/describe.txt)"; fi
    # 4. Any other program: no box.
    "$wine" "$check" absent 8000 > "$dir/absent.txt" 2>&1 &
    watcher=$!
    sleep 1
    LC_ALL=C "$wine" "$build/msxhost.exe" describe > /dev/null 2>&1
    if wait "$watcher"; then pass "msxhost.exe shows no box"
    else fail "msxhost.exe showed a box"; fi
  }
  unset DISPLAY
  kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null
  return 0
}

if [ "${2:-}" = announcement ]; then  # the window check alone
  [ "$arch" = win64 ] || { echo "run_suite: the window check runs on win64" >&2; exit 2; }
  echo "== the load-time announcement on a virtual X display"
  announce_check
  echo "run_suite $arch announcement: $failures failed"
  [ "$failures" = 0 ]
  exit
fi

# The data files the formulas write, kept per run for comparison.
exchange=out/windows/exchange
keep_exchange() {  # keep_exchange FOLDER
  rm -rf "$1"; mkdir -p "$1"
  cp "$exchange"/* "$1"/ 2>/dev/null || true
}
rm -rf "$exchange"; mkdir -p "$exchange"

# The native reference, in the locale the Wine run uses.
LC_ALL=ru_RU.UTF-8 "$native/msxhost" batch "$formulas" --data "$data" > "$out/native-batch.txt"
keep_exchange "$out/native-exchange"

if [ "$arch" = win64 ]; then
  echo "== end-to-end suite under Wine (C locale, OEM code page 437)"
  # The full log: a test that dies leaves the tests before it in the log.
  e2e_c() {
    # A hang fails the step rather than the whole run.
    LC_ALL=C MSX_EXPECT_OEM_CODE_PAGE=437 timeout 1800 "$wine" "$build/msx_e2e_tests.exe" > "$out/e2e.txt" 2>&1
  }
  # Once in a while Wine fails to start a program at all (an empty log, not
  # even the test runner's first line); that is Wine, not the suite: one
  # more try, said so.
  if e2e_c || { [ ! -s "$out/e2e.txt" ] && echo "  (Wine started nothing; once more)" && e2e_c; }; then
    pass "msx_e2e_tests.exe: $(grep -Eo '[0-9]+ tests? from [0-9]+ test suites? ran' "$out/e2e.txt")"
  else
    fail "msx_e2e_tests.exe (see $out/e2e.txt)"; tail -20 "$out/e2e.txt"
  fi
  echo "== the code page follows Wine's locale (ru_RU.UTF-8: 866), with the vectors of the code-page functions"
  if LC_ALL=ru_RU.UTF-8 MSX_EXPECT_OEM_CODE_PAGE=866 "$wine" "$build/msx_e2e_tests.exe" \
      --gtest_filter='Describe.*:*Vectors*' --gtest_brief=1 > "$out/e2e-ru.txt" 2>&1; then
    pass "describe and vectors under ru_RU.UTF-8"
  else
    fail "describe and vectors under ru_RU.UTF-8 (see $out/e2e-ru.txt)"; tail -20 "$out/e2e-ru.txt"
  fi
  echo "== a chart drawn natively and under Wine"
  "$native/msxhost" calc 'NRTR(C, 2)' --data "$data" --out "$out/native.csv" --svg "$out/native.svg" >/dev/null
  "$wine" "$build/msxhost.exe" calc 'NRTR(C, 2)' --data "$data" --out "$out/wine.csv" --svg "$out/wine.svg" >/dev/null
  same "$out/native.csv" "$out/wine.csv" "calc --out"
  same "$out/native.svg" "$out/wine.svg" "calc --svg"

  echo "== trading outputs natively and under Wine (the real profile API)"
  # Each build runs in a folder of its own with a copy of its library, whose
  # settings file puts the trade file and the transaction file there. The
  # chart grows bar by bar as a live one does; each size is calculated twice.
  trading() {  # trading DIR HOST LIB [WINE]
    local dir=$1 host=$2 lib=$3 runner=${4:-}
    rm -rf "$dir" && mkdir -p "$dir" && cp "$lib" "$dir/"
    printf '[TradeFile]\r\nDirectory=\r\n[C:\\Data\\SEC1(D)]\r\nClassCode=TQBR\r\nSecCode=SEC1\r\nFile=orders.tri\r\n' > "$dir/msx_qmr.ini"
    local libpath=$dir/$(basename "$lib")
    [ -n "$runner" ] && libpath="Z:$libpath"
    ( cd "$dir" || exit 1
      cp "$root/tests/windows/trading.csv" sec1.csv
      LC_ALL=ru_RU.UTF-8 $runner "$host" calc 'TradeFile(C, signal, Both, "MAcross")' --data sec1.csv --lib "$libpath" >/dev/null
      for bars in 9 9 10 10 11 11 8 12 12; do
        head -n $((bars + 1)) sec1.csv > live.csv
        LC_ALL=ru_RU.UTF-8 $runner "$host" calc 'TradeQuik(signal, "ACC1", "CL1", Limit, C, 10, 1)' \
          --data live.csv --symbol SEC1 --folder 'C:\Data' --lib "$libpath" >/dev/null
      done )
  }
  trading "$out/trading-native" "$native/msxhost" "$native/msx_qmr.so"
  trading "$out/trading-wine" "$build/msxhost.exe" "$build/msx_qmr.dll" "$wine"
  tail -n +2 "$out/trading-native/noname[MAcross]SEC1[D].csv" > "$out/trade-native.csv"
  tail -n +2 "$out/trading-wine/noname[MAcross]SEC1[D].csv" > "$out/trade-wine.csv"
  same "$out/trade-native.csv" "$out/trade-wine.csv" "TradeFile's trade file after its creation time"
  same "$out/trading-native/orders.tri" "$out/trading-wine/orders.tri" "TradeQuik's transaction file"
  # The profile API lays the file out its own way (blank lines between
  # sections); line for line the settings must agree.
  grep -av $'^\r\?$' "$out/trading-native/msx_qmr.ini" > "$out/ini-native.txt"
  grep -av $'^\r\?$' "$out/trading-wine/msx_qmr.ini" > "$out/ini-wine.txt"
  same "$out/ini-native.txt" "$out/ini-wine.txt" "the settings file, line for line"

  echo "== Cyrillic names in the settings file: the system's ANSI code page, not UTF-8"
  # Under the Russian locale Wine's ANSI code page is Windows-1251, as on a
  # Russian Windows. The settings file names a security section by a
  # Cyrillic folder and symbol and sends trade files to a Cyrillic folder
  # under a Cyrillic author. Saved in Windows-1251, every name matches;
  # saved as UTF-8 (Notepad's default), the section is never found.
  cyrillic() {  # cyrillic DIR ENCODING
    local dir=$1 bars
    rm -rf "$dir" && mkdir -p "$dir/Сделки" && cp "$build/msx_qmr.dll" "$dir/"
    printf '[TradeFile]\r\nAuthor=Трейдер\r\nDirectory=Z:%s\\Сделки\r\n[C:\\Данные\\СБЕР(D)]\r\nClassCode=TQBR\r\nSecCode=SBER\r\nFile=orders.tri\r\n' \
      "$(printf '%s' "$dir" | tr / '\\')" | iconv -f UTF-8 -t "$2" > "$dir/msx_qmr.ini"
    ( cd "$dir" || exit 1
      cp "$root/tests/windows/trading.csv" sec.csv
      for bars in 9 10; do
        head -n $((bars + 1)) sec.csv > live.csv
        LC_ALL=ru_RU.UTF-8 "$wine" "$build/msxhost.exe" calc 'TradeQuik(signal, "ACC1", "CL1", Limit, C, 10, 1)' \
          --data live.csv --symbol СБЕР --folder 'C:\Данные' --lib "Z:$dir/msx_qmr.dll" > "calc-$bars.txt" 2>&1
      done
      LC_ALL=ru_RU.UTF-8 "$wine" "$build/msxhost.exe" calc 'TradeFile(C, signal, Both, "MA")' \
        --data sec.csv --symbol СБЕР --folder 'C:\Данные' --lib "Z:$dir/msx_qmr.dll" > trade.txt 2>&1 )
  }
  cyrillic "$out/cyrillic-ansi" CP1251
  if grep -q '^TRANS_ID=2;.*OPERATION=S;.*QUANTITY=20;' "$out/cyrillic-ansi/orders.tri" 2>/dev/null &&
     [ -f "$out/cyrillic-ansi/Сделки/Трейдер[MA]СБЕР[D].csv" ] &&
     [ "$(grep -ac '^\[' "$out/cyrillic-ansi/msx_qmr.ini")" = 3 ]; then
    pass "Windows-1251: the order of the Cyrillic section, the trade file in the Cyrillic folder, no new section"
  else
    fail "Windows-1251 settings with Cyrillic names (see $out/cyrillic-ansi)"
  fi
  cyrillic "$out/cyrillic-utf8" UTF-8
  if grep -q 'ClassCode is not defined' "$out/cyrillic-utf8/calc-10.txt" &&
     [ ! -e "$out/cyrillic-utf8/orders.tri" ]; then
    pass "UTF-8 settings: the Cyrillic section is not found, nothing is sent"
  else
    fail "UTF-8 settings with Cyrillic names (see $out/cyrillic-utf8)"
  fi

  echo "== two hosts on one settings file, natively and under Wine (the named mutex)"
  # Two tester processes at once, one library copy: each calculates 50
  # strategy instances on a chart of its own security, 20 times, the chart
  # one bar longer each time, the signal turning on every bar; every
  # instance has seen an older bar, so each of the 1,000 calculations of a
  # process sends an order. Every transaction number must be used once.
  two_hosts() {  # two_hosts DIR HOST LIB WINE-OR-EMPTY NAME
    local dir=$1 host=$2 lib=$3 runner=${4:-}
    rm -rf "$dir" && mkdir -p "$dir" && cp "$lib" "$dir/"
    local libpath=$dir/$(basename "$lib") k sec
    [ -n "$runner" ] && libpath="Z:$libpath"
    { for sec in SEC1 SEC2; do
        printf '[C:\\Data\\%s(D)]\r\nClassCode=TQBR\r\nSecCode=%s\r\nFile=orders.tri\r\n' $sec $sec
        for k in $(seq 50); do printf 'DateTime_ACC1_CL1_%d=20000101,0\r\n' "$k"; done
      done; } > "$dir/msx_qmr.ini"
    for k in $(seq 50); do echo "TradeQuik(signal, \"ACC1\", \"CL1\", Limit, C, 10, $k)"; done > "$dir/orders.txt"
    awk -F, 'NR == 1 { print "date,high,low,close,signal"; next }
             NR <= 22 { print $1 "," $3 "," $4 "," $5 "," (NR % 2 ? 1 : -1) }' "$root/$data" > "$dir/prices.csv"
    for sec in SEC1 SEC2; do
      ( cd "$dir" || exit 1
        for bars in $(seq 2 21); do
          head -n $((bars + 1)) prices.csv > "live-$sec.csv"
          LC_ALL=ru_RU.UTF-8 $runner "$host" batch orders.txt --data "live-$sec.csv" --symbol $sec \
            --folder 'C:\Data' --lib "$libpath" > /dev/null 2>> "host-$sec.err"
        done ) &
    done
    wait
    local lines ids
    lines=$(grep -ac $'^TRANS_ID=[0-9]*;ACCOUNT=ACC1;.*;QUANTITY=20;\r$' "$dir/orders.tri")
    ids=$(grep -ao '^TRANS_ID=[0-9]*;' "$dir/orders.tri" | sort -u | wc -l)
    if [ "$lines" = 2000 ] && [ "$ids" = 2000 ] && [ "$(wc -l < "$dir/orders.tri")" = 2000 ]; then
      pass "$5: 2 x 1,000 calculations, 2,000 whole order lines, 2,000 transaction numbers"
    else
      fail "$5: $lines whole order lines, $ids distinct transaction numbers of 2,000 (see $dir)"
    fi
  }
  # In memory where there is such a folder: the native port makes every
  # settings write durable, about 20 ms each on a disk.
  scratch=$out
  [ -d /dev/shm ] && scratch=/dev/shm/msx_run_suite_$$
  two_hosts "$scratch/two-hosts-native" "$native/msxhost" "$native/msx_qmr.so" "" native
  two_hosts "$scratch/two-hosts-wine" "$build/msxhost.exe" "$build/msx_qmr.dll" "$wine" "under Wine"
  [ "$scratch" = "$out" ] || { rm -rf "$out/two-hosts-wine"; cp -r "$scratch/two-hosts-wine" "$out/"; rm -rf "$scratch"; }

  echo "== the load-time announcement on a virtual X display"
  announce_check
fi

echo "== formula outputs natively and under Wine ($arch, ru_RU.UTF-8)"
LC_ALL=ru_RU.UTF-8 "$wine" "$build/msxhost.exe" batch "$formulas" --data "$data" > "$out/wine-batch.txt" 2>"$out/wine-batch.err"
same "$out/native-batch.txt" "$out/wine-batch.txt" "$(grep -c '^== ' "$out/native-batch.txt") formulas and the description, byte for byte"
keep_exchange "$out/wine-exchange"
echo "== data files written natively and under Wine ($arch)"
for f in "$out/native-exchange"/*; do
  [ -e "$f" ] || { fail "no data files written natively"; break; }
  same "$f" "$out/wine-exchange/$(basename "$f")" "data file $(basename "$f"), byte for byte"
done

echo "run_suite $arch: $failures failed"
[ "$failures" = 0 ]
