#!/usr/bin/env bash
# Builds and runs the benchmarks: every function at the host's maximum of
# 65,500 bars.
#
#   scripts/bench.sh          the full run: every benchmark, repeated
#                             BENCH_REPETITIONS times (default 5), then
#                             docs/performance.md written anew from the
#                             results (medians, CPU time) by bench/report.py
#   scripts/bench.sh ARGS...  ARGS go to Google Benchmark as they are (a
#                             --benchmark_filter, repetitions, ...); the
#                             results go to the terminal only and the report
#                             is left alone, as it stands for full runs only
#
# The report names the machine and its load, so run it on a quiet one.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/native/build.ninja ] || cmake --preset native >/dev/null
cmake --build build/native --target msx_bench >/dev/null

if [ $# -gt 0 ]; then
  exec build/native/msx_bench "$@"
fi

results=build/native/bench.json
build/native/msx_bench \
  --benchmark_repetitions="${BENCH_REPETITIONS:-5}" \
  --benchmark_display_aggregates_only=true \
  --benchmark_out="$results" --benchmark_out_format=json
cp /proc/loadavg build/native/bench.loadavg  # the load as the run ends
python3 bench/report.py "$results" build/native/bench.loadavg bench/report.tsv build/native \
  docs/performance.md
echo "bench.sh: wrote docs/performance.md"
