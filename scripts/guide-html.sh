#!/usr/bin/env bash
# Builds the user guide as two web pages, OUTDIR/guide.html (English) and
# OUTDIR/guide.ru.html (Russian), from docs/guide.md and docs/guide.ru.md:
#
#   scripts/guide-html.sh OUTDIR
#
# Each page stands alone: its charts and its style sheet (docs/guide.css) are
# inside it, so it reads the same from a setup's folder, an unpacked archive
# or a mail. It opens with a link to the other language and a table of
# contents; links between the guides point at the pages. docs/guide-filter.lua
# shapes the page, docs/guide-template.html lays it out.
#
# Then each page is read back: nothing fetched from outside the page, every
# link to a section finds it (in this page or the other language's), and no
# link leads to a file that does not travel with the pages. The pages replace
# OUTDIR's only when both pass. Needs pandoc (scripts/install-deps.sh).
set -euo pipefail
if [ $# -ne 1 ] || [ -z "$1" ]; then
  echo "usage: scripts/guide-html.sh OUTDIR" >&2
  exit 2
fi
mkdir -p "$1"
outdir=$(cd "$1" && pwd)
cd "$(dirname "$0")/.."
if ! command -v pandoc >/dev/null; then
  echo "guide-html: pandoc is missing: run scripts/install-deps.sh (Debian package pandoc)" >&2
  exit 1
fi

# pandoc 2.19 renamed --self-contained; the old name still works, with a warning.
if pandoc --help | grep -q -- '--embed-resources'; then
  embed=(--embed-resources --standalone)
else
  embed=(--self-contained)
fi

work=$(mktemp -d "$outdir/.guide-html.XXXXXX")
trap 'rm -rf "$work"' EXIT

# page MARKDOWN HTML LANG CONTENTS-TITLE
page() {
  pandoc "$1" --from gfm --to html5 "${embed[@]}" --fail-if-warnings \
    --template docs/guide-template.html --lua-filter docs/guide-filter.lua \
    --css docs/guide.css --resource-path ".:docs" \
    --toc --toc-depth 4 -M lang="$3" -M toc-title="$4" -o "$work/$2" ||
    { echo "guide-html: pandoc could not make $2 from $1 (its message is above)" >&2; exit 1; }
}
page docs/guide.md guide.html en "Contents"
page docs/guide.ru.md guide.ru.html ru "Содержание"

python3 - "$work" <<'PY'
import html.parser, os, re, sys
work = sys.argv[1]
pages = ("guide.html", "guide.ru.html")

class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.ids, self.refs = set(), []
    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if "id" in attrs:
            self.ids.add(attrs["id"])
        if tag == "a" and "name" in attrs:
            self.ids.add(attrs["name"])
        if tag == "link":
            self.refs.append(("fetches", attrs.get("href", "")))
        for key in ("src", "href"):
            if key in attrs and tag != "link":
                self.refs.append((key, attrs[key]))

parsed = {}
for name in pages:
    parser = Page()
    parser.feed(open(os.path.join(work, name), encoding="utf-8").read())
    parsed[name] = parser

faults = []
for name, page in parsed.items():
    for kind, ref in page.refs:
        if kind in ("src", "fetches"):
            if not ref.startswith("data:"):
                faults.append(f"{name} fetches {ref!r}; everything it shows must be inside it")
            continue
        if re.match(r"(https?|mailto):", ref):
            continue
        target, _, section = ref.partition("#")
        target = target or name
        if target not in parsed:
            faults.append(f"{name} links to {ref!r}, which does not travel with the guide pages")
        elif section and section not in parsed[target].ids:
            faults.append(f"{name} links to {ref!r}, but {target} has no section {section!r}")
for fault in faults:
    print("guide-html:", fault, file=sys.stderr)
sys.exit(1 if faults else 0)
PY

for name in guide.html guide.ru.html; do
  mv "$work/$name" "$outdir/$name"
done
echo "guide-html: $outdir/guide.html, $outdir/guide.ru.html"
