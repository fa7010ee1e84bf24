#!/usr/bin/env bash
# Draws every chart of the user guide (docs/charts/*.svg) with the formula
# tester over the bundled prices. The guide shows nothing drawn by hand:
# change a chart here and run this again.
#
#   scripts/guide-charts.sh [FOLDER]    (default docs/charts)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/charts}
host=${MSXHOST:-build/native/msxhost}
if [ ! -x "$host" ]; then
  [ -f build/native/build.ninja ] || cmake --preset native >/dev/null
  cmake --build build/native --target msxhost msx_qmr >/dev/null
fi
data=data/goog-daily.csv
mkdir -p "$out"

# name | formula | locale (JMA and JTPO are offered under OEM code page 866)
charts=(
  "nrtr|ExtFml(\"MSX_QMR.NRTR\", C, 5)|C"
  "nrtr_watr|ExtFml(\"MSX_QMR.NRTR_WATR\", C, 14, 2)|C"
  "cer|ExtFml(\"MSX_QMR.CER\", C, 10)|C"
  "renko_watr|ExtFml(\"MSX_QMR.RENKO_WATR\", C, 2, 10, Auto)|C"
  "jma|ExtFml(\"MSX_QMR.JMA\", C, 14, 0)|ru_RU.UTF-8"
  "jtpo|ExtFml(\"MSX_QMR.JTPO\", C, 14)|ru_RU.UTF-8"
)
for entry in "${charts[@]}"; do
  IFS='|' read -r name formula locale <<<"$entry"
  LC_ALL=$locale "$host" calc "$formula" --data "$data" --svg "$out/$name.svg" >/dev/null
done
echo "guide-charts: ${#charts[@]} charts in $out"
