#!/usr/bin/env bash
# Builds the fuzz targets (the fuzz preset: clang, libFuzzer, the address and
# undefined-behaviour sanitizers) and runs each for SECONDS seconds, starting
# from a fresh copy of its seed corpus (tests/fuzz/corpus/<name>) in
# build/fuzz/corpus, so the repository's corpus never changes. Prints one
# line per target: its runs, their rate, the coverage reached. Stops at the
# first finding with a non-zero exit, naming the input it saved under
# build/fuzz/findings/ (add it to the corpus once the fault is fixed).
#   scripts/fuzz.sh SECONDS [TARGET...]     TARGET: token, csv, ... (default all)
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

seconds=${1:-}
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/fuzz.sh SECONDS [TARGET...]" >&2
  exit 2
fi
shift
if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ is missing (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

log=build/fuzz.log
mkdir -p build
if ! { cmake --preset fuzz -DMSX_WERROR=ON && cmake --build build/fuzz --target fuzzers; } >"$log" 2>&1; then
  tail -40 "$log"
  echo "fuzz.sh: the fuzz targets do not build (see $log)"
  exit 1
fi

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in tests/fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

mkdir -p build/fuzz/corpus build/fuzz/findings build/fuzz/logs
for name in "${targets[@]}"; do
  program=build/fuzz/fuzz_$name
  if [ ! -x "$program" ] || [ ! -d "tests/fuzz/corpus/$name" ]; then
    echo "fuzz.sh: no target $name (a program $program and seeds in tests/fuzz/corpus/$name)" >&2
    exit 2
  fi
  corpus=build/fuzz/corpus/$name
  rm -rf "$corpus"
  cp -r "tests/fuzz/corpus/$name" "$corpus"
  out=build/fuzz/logs/$name.log
  # -timeout: one input running 10 s is a finding (a hang), as is any
  # sanitizer report, broken property or crash.
  "$program" "$corpus" -max_total_time="$seconds" -timeout=10 \
    -artifact_prefix="build/fuzz/findings/$name-" -print_final_stats=1 >"$out" 2>&1
  status=$?
  # libFuzzer's last status line ("#RUNS DONE cov: EDGES ft: FEATURES corp:
  # INPUTS/SIZE ...") and its final statistics.
  summary=$(grep -E '^#[0-9]+[[:space:]]+[A-Z]+[[:space:]]+cov:' "$out" | tail -1)
  cov=$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<<"$summary")
  ft=$(sed -nE 's/.* ft: ([0-9]+).*/\1/p' <<<"$summary")
  corp=$(sed -nE 's/.* corp: ([0-9]+)\/.*/\1/p' <<<"$summary")
  runs=$(awk '/^stat::number_of_executed_units:/ {print $2}' "$out")
  rate=$(awk '/^stat::average_exec_per_sec:/ {print $2}' "$out")
  [ -n "$runs" ] || runs=$(sed -nE 's/^#([0-9]+).*/\1/p' <<<"$summary")
  if [ "$status" -eq 0 ]; then
    printf '%-18s ok: %s runs in %s s (%s/s), coverage %s edges, %s features, corpus %s inputs\n' \
      "$name" "${runs:-?}" "$seconds" "${rate:-?}" "${cov:-?}" "${ft:-?}" "${corp:-?}"
  else
    finding=$(grep -oE "build/fuzz/findings/$name-[a-z-]+[0-9a-f]+" "$out" | tail -1)
    printf '%-18s FINDING after %s runs\n' "$name" "${runs:-?}"
    # What broke, and where in our own sources.
    grep -E 'property broken|runtime error|ERROR: [A-Za-z]+Sanitizer|ERROR: libFuzzer|^SUMMARY' "$out" |
      grep -v 'deadly signal' | head -4
    grep -E " in .* $PWD/(src|tools|tests)/" "$out" | sed "s| $PWD/| |" | head -6
    echo "fuzz.sh: input saved as ${finding:-build/fuzz/findings/$name-*}; full log $out"
    exit 1
  fi
done
