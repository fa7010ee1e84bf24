#!/usr/bin/env bash
# Draws every chart of the user guide (docs/charts/*.svg) with the formula
# tester over the bundled prices: each indicator over the last year of the
# daily prices (about 252 bars, so that its line can be told from the
# price), and one intraday example over the synthetic 5-minute sample
# (three sessions). The guide shows nothing drawn by hand: change a chart here and run
# this again. Each chart is also rendered to PNG (rsvg-convert, from
# Debian's librsvg2-bin) for looking at them; PNG=0 skips that.
#
#   scripts/guide-charts.sh [FOLDER [PNG_FOLDER]]   (default docs/charts, out/guide-charts)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/charts}
png=${2:-out/guide-charts}
host=${MSXHOST:-build/native/msxhost}
if [ ! -x "$host" ]; then
  [ -f build/native/build.ninja ] || cmake --preset native >/dev/null
  cmake --build build/native --target msxhost msx_qmr >/dev/null
fi
daily=(--data data/goog-daily.csv --symbol GOOG --last 252)
minutes=(--data data/synthetic-5min.csv --period I --interval 5)
mkdir -p "$out"

# name | locale (JMA and JTPO are offered under OEM code page 866) | bars | formulas, ";" between
charts=(
  "nrtr|C|daily|NRTR(C, 5)"
  "nrtr_watr|C|daily|NRTR_WATR(C, 14, 2)"
  "cer|C|daily|CER(C, 10)"
  "renko_watr|C|daily|RENKO_WATR(C, 2, 10, Auto);RENKO_WATR(C, 2, 10, Both)"
  "jma|ru_RU.UTF-8|daily|JMA(C, 14, 0)"
  "jtpo|ru_RU.UTF-8|daily|JTPO(C, 14)"
  "intraday|C|minutes|NRTR_WATR(C, 14, 3);CER(C, 10)"
)
for entry in "${charts[@]}"; do
  IFS='|' read -r name locale bars formulas <<<"$entry"
  IFS=';' read -r -a list <<<"$formulas"
  if [ "$bars" = daily ]; then data=("${daily[@]}"); else data=("${minutes[@]}"); fi
  LC_ALL=$locale "$host" calc "${list[@]}" "${data[@]}" --svg "$out/$name.svg" >/dev/null
done
echo "guide-charts: ${#charts[@]} charts in $out"

if [ "${PNG:-1}" != 0 ]; then
  if command -v rsvg-convert >/dev/null; then
    mkdir -p "$png"
    for svg in "$out"/*.svg; do
      rsvg-convert --width 1200 "$svg" -o "$png/$(basename "${svg%.svg}").png"
    done
    echo "guide-charts: PNG renderings in $png"
  else
    echo "guide-charts: rsvg-convert is missing (librsvg2-bin; scripts/install-deps.sh); no PNG renderings"
  fi
fi
