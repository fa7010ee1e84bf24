#!/usr/bin/env bash
# Pictures of the HTML guides as a reader first sees them, to look at after
# changing the guides' text, style or layout (run by hand; no test runs it):
#
#   scripts/guide-screenshots.sh [WIDTHxHEIGHT]     (default 1280x900)
#
# Builds the pages (scripts/guide-html.sh, into build/guide-html) and takes,
# with headless Chromium, the first screen of each and the screen at its
# TradeQuik section, into out/guide-screenshots/:
#   guide-top.png  guide-tradequik.png  guide.ru-top.png  guide.ru-tradequik.png
# Needs chromium (Debian package; scripts/install-deps.sh does not install it).
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-1280x900}
if ! [[ $size =~ ^[0-9]+x[0-9]+$ ]]; then
  echo "usage: scripts/guide-screenshots.sh [WIDTHxHEIGHT], e.g. 1280x900" >&2
  exit 2
fi
browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
  echo "guide-screenshots: no Chromium; install the Debian package chromium" >&2
  exit 1
fi

scripts/guide-html.sh build/guide-html >/dev/null
shots=$PWD/out/guide-screenshots
mkdir -p "$shots"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shot URL PNG: the first screen of URL, with a fresh profile each time and
# nothing fetched. Headless Chromium draws a blank screen for a page it has
# scrolled to a section itself, so the page goes into a frame that fills
# the window: the frame scrolls, the window does not, and the layout is the
# window's.
shot() {
  local profile
  profile=$(mktemp -d "$work/profile.XXXXXX")
  printf '<!DOCTYPE html><html><body style="margin:0;overflow:hidden">%s</body></html>\n' \
    "<iframe src=\"$1\" style=\"display:block;width:100vw;height:100vh;border:0\"></iframe>" \
    > "$work/frame.html"
  rm -f "$2"
  "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --hide-scrollbars --user-data-dir="$profile" --window-size="${size/x/,}" \
    --screenshot="$2" "file://$work/frame.html" >/dev/null 2>&1 || true
  if [ ! -s "$2" ]; then
    echo "guide-screenshots: Chromium took no screenshot of $1" >&2
    exit 1
  fi
  echo "guide-screenshots: $2"
}
for page in guide guide.ru; do
  url=file://$PWD/build/guide-html/$page.html
  shot "$url" "$shots/$page-top.png"
  shot "$url#tradequik" "$shots/$page-tradequik.png"
done
