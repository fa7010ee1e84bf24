#!/usr/bin/env bash
# The demo: builds what is missing, then plays the host over the bundled
# daily prices with the formula tester: what the host sees of the library,
# then every function on the chart, each result as a CSV and an SVG chart
# under out/demo/. The functions offered only under the Cyrillic OEM code
# page run under a Russian locale.
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

# JMA and JTPO are offered only where the system's OEM code page is 866
# (Cyrillic); the tester's library follows the locale, as Windows would.
cyrillic=ru_RU.UTF-8
echo "== JMA and JTPO, offered only under OEM code page 866: run under LC_ALL=$cyrillic"
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  echo "(the $cyrillic locale is not installed; scripts/install-deps.sh generates it." \
    "The library reads only the locale's name, so the results are the same.)"
fi
LC_ALL=$cyrillic "$host" describe > "$out/describe-$cyrillic.txt"
grep -E '^\[[0-9]+\] (JMA|JTPO) ' "$out/describe-$cyrillic.txt"
cyrillic_formulas=(
  "jma_14|JMA(C, 14, 0)"
  "jma_50_lead|JMA(C, 50, 100)"
  "jma_of_high|ExtFml(\"MSX_QMR.JMA\", H, 7, -50)"
  "jtpo_14|JTPO(C, 14)"
  "jtpo_100|JTPO(C, 100)"
  "jtpo_of_jma|JTPO(JMA(C, 14, 0), 30)"
)
for entry in "${cyrillic_formulas[@]}"; do
  name=${entry%%|*}
  formula=${entry#*|}
  LC_ALL=$cyrillic "$host" calc "$formula" --data "$data" --out "$out/$name.csv" --svg "$out/$name.svg"
done
echo
echo "== Last five values of the indicators (the formulas above)"
echo "date,NRTR,NRTR_WATR,CER,RENKO_WATR,JMA,JTPO"
paste -d, <(tail -n 5 "$out/nrtr_2.csv") \
  <(tail -n 5 "$out/nrtr_watr_14_2.csv" | cut -d, -f2) <(tail -n 5 "$out/cer_10.csv" | cut -d, -f2) \
  <(tail -n 5 "$out/renko_watr_auto.csv" | cut -d, -f2) <(tail -n 5 "$out/jma_14.csv" | cut -d, -f2) \
  <(tail -n 5 "$out/jtpo_14.csv" | cut -d, -f2)
echo

# The trading outputs write files: they run on a copy of the library in a
# folder of its own, whose settings file (msx_qmr.ini beside it) says where
# the files go. The signal: long above the 20-day average close, short below.
lib=$out/trading
mkdir -p "$lib"
cp build/native/msx_qmr.so "$lib/"
awk -F, 'NR == 1 { print $0 ",signal"; next }
         { sum += $5; n++; q[n] = $5; if (n > 20) sum -= q[n - 20]
           print $0 "," (n < 20 ? 0 : ($5 > sum / 20 ? 1 : -1)) }' "$data" > "$lib/goog.csv"
printf '[TradeFile]\r\nAuthor=demo\r\nDirectory=%s\r\n[%s\\GOOG(D)]\r\nClassCode=TQBR\r\nSecCode=GOOG\r\nFile=%s/orders.tri\r\n' \
  "$lib" "$lib" "$lib" > "$lib/msx_qmr.ini"

echo "== TradeFile: a simulated trade history of the signal ($lib/demo[MA20]GOOG[D].csv)"
"$host" calc 'TradeFile(C, signal, Both, "MA20")' --data "$lib/goog.csv" --lib "$lib/msx_qmr.so" >/dev/null
head -n 10 "$lib/demo[MA20]GOOG[D].csv"
echo "... $(($(wc -l <"$lib/demo[MA20]GOOG[D].csv") - 7)) trades"
echo

# TradeQuik is offered under OEM code page 866 (here: a Russian locale). The
# chart is replayed one new bar at a time over its last 30 bars, as a live
# chart grows, and every bar is calculated twice: an order line goes out
# only for a position change on a new last bar, once.
echo "== TradeQuik: order lines as the chart grows ($lib/orders.tri)"
total=$(($(wc -l <"$lib/goog.csv") - 1))
for bars in $(seq $((total - 30)) "$total"); do
  head -n $((bars + 1)) "$lib/goog.csv" > "$lib/live.csv"
  for _ in 1 2; do
    LC_ALL=ru_RU.UTF-8 "$host" calc 'TradeQuik(signal, "ACC1", "CL1", Limit, C, 10, 1)' \
      --data "$lib/live.csv" --symbol GOOG --lib "$lib/msx_qmr.so" >/dev/null
  done
done
cat "$lib/orders.tri" 2>/dev/null || echo "(no position change in those bars)"
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
