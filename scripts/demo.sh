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
  "writedata|WriteData(C, \"$out/exchange/%S_%P.txt\")"
  "writedataex|WriteDataEx(\"dd.mm.yyyy|;%.2f;%.2f;%.2f\", H, L, C, C, C, C, C, \"$out/exchange/%S_ex.txt\")"
)
mkdir -p "$out/exchange"

echo "== Functions over $data ($(($(wc -l <"$data") - 1)) daily bars)"
for entry in "${formulas[@]}"; do
  name=${entry%%|*}
  formula=${entry#*|}
  "$host" calc "$formula" --data "$data" --out "$out/$name.csv" --svg "$out/$name.svg"
done
echo
echo "== Last five values of NRTR(C, 2)"
tail -n 5 "$out/nrtr_2.csv"
echo
# Data exchange: the daily chart above stored its close with WriteData; a
# weekly chart of the same security (every fifth bar) reads it with
# ReadData, each week taking the first stored close at or after it.
echo "== Two charts: the daily chart wrote $out/exchange/GOOG-DAILY_D.txt"
head -n 3 "$out/exchange/GOOG-DAILY_D.txt"
head -n 3 "$out/exchange/GOOG-DAILY_ex.txt"
awk 'NR == 1 || NR % 5 == 2' "$data" > "$out/exchange/weekly.csv"
"$host" calc 'ReadData("'"$out"'/exchange/%S_%P.txt")' --data "$out/exchange/weekly.csv" \
  --symbol GOOG-DAILY --period W --out "$out/readdata_weekly.csv" --svg "$out/readdata_weekly.svg"
echo "== First five weeks read back (the weekly chart looks for the _D file)"
head -n 6 "$out/readdata_weekly.csv"
echo
echo "Results: $out/ (CSV and SVG per formula; open the .svg files in a browser)"
