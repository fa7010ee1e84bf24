#!/usr/bin/env bash
# The demo: builds what is missing, then plays the host over the bundled
# daily prices with the formula tester: what the host sees of the library,
# then every function on the chart, each result as a CSV and an SVG chart
# under out/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."

command -v cmake >/dev/null && command -v ninja >/dev/null || scripts/install-deps.sh
[ -f build/native/build.ninja ] || cmake --preset native >/dev/null
cmake --build build/native --target msxhost msx_qmr >/dev/null

host=build/native/msxhost
data=data/goog-daily.csv
out=out/demo
rm -rf "$out"
mkdir -p "$out"

echo "== What the host sees (msxhost describe)"
"$host" describe | tee "$out/describe.txt"
echo

# name | formula
formulas=(
  "nrtr_2|NRTR(C, 2)"
  "nrtr_5_extfml|ExtFml(\"MSX_QMR.NRTR\", C, 5)"
  "nrtr_of_nrtr|NRTR(NRTR(C, 2), 3)"
  "nrtr_watr_14_2|NRTR_WATR(C, 14, 2)"
  "cer_10|CER(C, 10)"
  "renko_watr_auto|RENKO_WATR(C, 2, 10, Auto)"
  "renko_watr_both|RENKO_WATR(C, 2, 10, Both)"
)

echo "== Functions over $data ($(($(wc -l <"$data") - 1)) daily bars)"
for entry in "${formulas[@]}"; do
  name=${entry%%|*}
  formula=${entry#*|}
  "$host" calc "$formula" --data "$data" --out "$out/$name.csv" --svg "$out/$name.svg"
done
echo
for name in nrtr_2 nrtr_watr_14_2 cer_10 renko_watr_auto; do
  echo "== Last three values in $out/$name.csv"
  tail -n 3 "$out/$name.csv"
done
echo
echo "Results: $out/ (CSV and SVG per formula; open the .svg files in a browser)"
