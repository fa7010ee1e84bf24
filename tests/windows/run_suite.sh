#!/usr/bin/env bash
# The Windows suite: the Windows builds under Wine, with the real Win32 API.
#
#   tests/windows/run_suite.sh win64   the end-to-end suite (in the C and the
#                                      Russian locale) and the formula outputs
#   tests/windows/run_suite.sh win32   the product DLL: the formula outputs in
#                                      one run of the 32-bit msxhost.exe
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
if [ ! -f "$build/msxhost.exe" ] || [ ! -f "$build/msx_qmr.dll" ]; then
  echo "run_suite: build $arch first (msxhost.exe and msx_qmr.dll)" >&2
  exit 1
fi
if [ ! -d "$WINEPREFIX" ]; then
  echo "run_suite: creating the Wine prefix $WINEPREFIX (once; takes a few minutes)"
  /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
  /usr/lib/wine/wineserver -w 2>/dev/null || true
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
  if LC_ALL=C MSX_EXPECT_OEM_CODE_PAGE=437 "$wine" "$build/msx_e2e_tests.exe" --gtest_brief=1 \
      > "$out/e2e.txt" 2>&1; then
    pass "msx_e2e_tests.exe: $(grep -Eo '[0-9]+ tests? from [0-9]+ test suites? ran' "$out/e2e.txt")"
  else
    fail "msx_e2e_tests.exe (see $out/e2e.txt)"; tail -20 "$out/e2e.txt"
  fi
  echo "== the code page follows Wine's locale (ru_RU.UTF-8: 866)"
  if LC_ALL=ru_RU.UTF-8 MSX_EXPECT_OEM_CODE_PAGE=866 "$wine" "$build/msx_e2e_tests.exe" \
      --gtest_filter='Describe.*' --gtest_brief=1 > "$out/e2e-ru.txt" 2>&1; then
    pass "describe under ru_RU.UTF-8"
  else
    fail "describe under ru_RU.UTF-8 (see $out/e2e-ru.txt)"; tail -20 "$out/e2e-ru.txt"
  fi
  echo "== a chart drawn natively and under Wine"
  "$native/msxhost" calc 'NRTR(C, 2)' --data "$data" --out "$out/native.csv" --svg "$out/native.svg" >/dev/null
  "$wine" "$build/msxhost.exe" calc 'NRTR(C, 2)' --data "$data" --out "$out/wine.csv" --svg "$out/wine.svg" >/dev/null
  same "$out/native.csv" "$out/wine.csv" "calc --out"
  same "$out/native.svg" "$out/wine.svg" "calc --svg"
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
