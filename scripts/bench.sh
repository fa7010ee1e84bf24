#!/usr/bin/env bash
# Builds and runs the benchmarks: every function at the host's maximum of
# 65,500 bars.
#
#   scripts/bench.sh          the full run: every benchmark of msx_bench,
#                             repeated BENCH_REPETITIONS times (default 5),
#                             then the product beside native (below), then
#                             docs/performance.md written anew from the
#                             results by bench/report.py
#   scripts/bench.sh ARGS...  ARGS go to Google Benchmark as they are (a
#                             --benchmark_filter, repetitions, ...); the
#                             results go to the terminal only and the report
#                             is left alone, as it stands for full runs only
#   scripts/bench.sh product  only the product beside native, printed
#
# The product beside native: the formulas of bench/product.txt timed through
# the exported interface (msxhost bench) of the native library, the win64 DLL
# and the 32-bit product DLL under Wine, over 65,500 bars made from the
# bundled prices. The three targets take turns for BENCH_ROUNDS rounds
# (default 5) of 3 calls a formula, so that a change in the machine's load
# falls on all three alike; a figure is the fastest call of all rounds. The
# results of the three must be bit-identical (msxhost's digests).
#
# The report names the machine and its load, so run it on a quiet one.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

build_target() {  # PRESET TARGETS...
  local preset=$1
  shift
  [ -f "build/$preset/build.ninja" ] || cmake --preset "$preset" >/dev/null
  cmake --build "build/$preset" --target "$@" >/dev/null
}

product() {  # writes build/bench/product.tsv
  build_target native msxhost msx_qmr
  build_target win64 msxhost msx_qmr
  build_target win32 msxhost msx_qmr
  mkdir -p build/bench
  local data=build/bench/prices-65500.csv
  python3 bench/stretch_prices.py data/goog-daily.csv "$data"
  local formulas=()
  while IFS= read -r line; do
    [ -z "$line" ] || [ "${line:0:1}" = "#" ] || formulas+=("$line")
  done <bench/product.txt
  # JMA and JTPO are offered under the Cyrillic OEM code page only.
  export LC_ALL=ru_RU.UTF-8
  export WINEARCH=win64 WINEPREFIX=$root/build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -d "$WINEPREFIX" ]; then
    echo "bench.sh: creating the Wine prefix $WINEPREFIX (once; takes a few minutes)"
    /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
    /usr/lib/wine/wineserver -w 2>/dev/null || true
  fi
  # Where the kernel hands 32-bit programs to an emulator (qemu-i386), the
  # 32-bit Wine runs emulated: its figures would say nothing of the product
  # and take long, so the product is left out unless BENCH_EMULATED_WIN32=1.
  local win32=1
  if grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null &&
    [ "${BENCH_EMULATED_WIN32:-0}" != 1 ]; then
    echo "bench.sh: 32-bit programs run emulated here (qemu-i386): the product DLL is not timed" >&2
    win32=0
  fi
  local rounds=${BENCH_ROUNDS:-5} round results=()
  cp /proc/loadavg build/bench/product.loadavg.start
  for round in $(seq 1 "$rounds"); do
    echo "bench.sh: product round $round of $rounds" >&2
    build/native/msxhost bench "${formulas[@]}" --data "$data" --repeat 3 \
      >"build/bench/native.$round.tsv"
    /usr/lib/wine/wine64 build/win64/msxhost.exe bench "${formulas[@]}" --data "$data" \
      --repeat 3 >"build/bench/win64.$round.tsv"
    results+=("build/bench/native.$round.tsv" "build/bench/win64.$round.tsv")
    if [ "$win32" = 1 ]; then
      /usr/lib/wine/wine build/win32/msxhost.exe bench "${formulas[@]}" --data "$data" \
        --repeat 3 >"build/bench/win32.$round.tsv"
      results+=("build/bench/win32.$round.tsv")
    fi
  done
  cp /proc/loadavg build/bench/product.loadavg.end
  python3 bench/product.py build/bench/product.loadavg.start build/bench/product.loadavg.end \
    "${results[@]}" >build/bench/product.tsv
}

if [ "${1:-}" = product ]; then
  product
  cat build/bench/product.tsv
  exit 0
fi

build_target native msx_bench
if [ $# -gt 0 ]; then
  exec build/native/msx_bench "$@"
fi

results=build/native/bench.json
build/native/msx_bench \
  --benchmark_repetitions="${BENCH_REPETITIONS:-5}" \
  --benchmark_display_aggregates_only=true \
  --benchmark_out="$results" --benchmark_out_format=json
cp /proc/loadavg build/native/bench.loadavg  # the load as the run ends
product
python3 bench/report.py "$results" build/native/bench.loadavg bench/report.tsv build/native \
  docs/performance.md build/bench/product.tsv
echo "bench.sh: wrote docs/performance.md"
