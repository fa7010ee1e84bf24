#!/usr/bin/env bash
# Builds and runs the benchmarks: every function at the host's maximum of
# 65,500 bars. Extra arguments go to Google Benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/native/build.ninja ] || cmake --preset native >/dev/null
cmake --build build/native --target msx_bench >/dev/null
build/native/msx_bench "$@"
