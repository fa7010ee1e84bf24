#!/usr/bin/env bash
# Builds the release into out/package/:
#
#   msx_qmr-1.8.0.11-setup.exe          the setup program (NSIS, English and
#                                       Russian): the 32-bit msx_qmr.dll into
#                                       the host's folder; the guides, the
#                                       32-bit tester with the bundled prices
#                                       and the notes into a program folder
#   msx_qmr-1.8.0.11-win32-for-metastock.zip
#                                       the product for installing by hand:
#                                       msx_qmr.dll (32-bit), the formula
#                                       tester msxhost.exe
#   msx_qmr-1.8.0.11-win64-test-build.zip
#                                       the 64-bit build, for tests only
#   msx_qmr-1.8.0.11-linux-x86_64.tar.gz  msx_qmr.so and msxhost for Linux
#
# Every archive also holds the user guide as web pages, guide.html and
# guide.ru.html (scripts/guide-html.sh; the charts are inside them), the
# bundled prices (data/), so that the guide's tester examples run from the
# unpacked folder, and for Notepad, in CR LF: INSTALL.txt (English and
# Russian), the licence, the changelog and the settings example.
#
#   scripts/package.sh          all of it
#   scripts/package.sh setup    only the setup program (for its Wine checks)
#
# Builds what is missing (installing the tool chains when needed) and checks
# the product DLL first: plain export names, Windows system imports only,
# version 1.8.0.11. Works from a fresh clone.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
version=1.8.0.11
out=$root/out/package
only=${1:-all}
case $only in all|setup) ;; *) echo "usage: scripts/package.sh [setup]" >&2; exit 2 ;; esac

if ! command -v cmake >/dev/null || ! command -v ninja >/dev/null || ! command -v makensis >/dev/null ||
   ! command -v pandoc >/dev/null ||
   ! command -v i686-w64-mingw32-g++-posix >/dev/null || ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  scripts/install-deps.sh
fi

presets="win32 win64 native"
[ "$only" = setup ] && presets=win32
for preset in $presets; do
  echo "package: building $preset"
  [ -f "build/$preset/build.ninja" ] || cmake --preset "$preset" >/dev/null
  cmake --build "build/$preset" --target msx_qmr msxhost >/dev/null
done

echo "package: checking the product DLL"
python3 tests/windows/check_dll.py i686-w64-mingw32-objdump build/win32/msx_qmr.dll src/library/msx_qmr.def

echo "package: building the guide's web pages"
scripts/guide-html.sh build/guide-html >/dev/null

mkdir -p "$out"
setup=$out/msx_qmr-$version-setup.exe
echo "package: building $(basename "$setup")"
makensis -V2 -WX -INPUTCHARSET UTF8 -DVERSION="$version" -DDLL="$root/build/win32/msx_qmr.dll" \
  -DTESTER="$root/build/win32/msxhost.exe" -DGUIDE_DIR="$root/build/guide-html" \
  -DOUTFILE="$setup" packaging/setup.nsi
[ "$only" = setup ] && exit 0

rm -rf "$out"/msx_qmr-"$version"-*.zip "$out"/msx_qmr-"$version"-*.tar.gz
# stage NAME FILE... : a folder NAME with the files and what every archive holds.
stage() {
  local name=$1
  shift
  local dir=$out/$name
  rm -rf "$dir"
  mkdir -p "$dir/data"
  cp "$@" "$dir/"
  cp build/guide-html/guide.html build/guide-html/guide.ru.html "$dir/"
  cp data/goog-daily.csv data/goog-weekly.csv data/synthetic-5min.csv data/formulas.txt "$dir/data/"
  # For Notepad: CR LF, and a byte order mark where a file holds more than
  # ASCII; the settings example, read in the ANSI code page once copied to
  # msx_qmr.ini, must be ASCII and gets none (packaging/windows-text.sh).
  for f in docs/INSTALL.txt LICENSE.txt CHANGELOG.txt; do
    packaging/windows-text.sh "$f" "$dir/$(basename "$f")"
  done
  packaging/windows-text.sh --ansi docs/msx_qmr.ini.example "$dir/msx_qmr.ini.example"
}
stage "msx_qmr-$version-win32-for-metastock" build/win32/msx_qmr.dll build/win32/msxhost.exe
stage "msx_qmr-$version-win64-test-build" build/win64/msx_qmr.dll build/win64/msxhost.exe
stage "msx_qmr-$version-linux-x86_64" build/native/msx_qmr.so build/native/msxhost

# Archives with fixed dates and sorted names, so that the same build gives
# the same bytes; Windows archives as zip, the Linux one as tar.gz. Then
# each is read back: the files every archive must hold, the guide files that
# INSTALL.txt names, the Notepad files in CR LF with a byte order mark just
# where they hold more than ASCII.
python3 - "$out" "$version" <<'PY'
import io, os, re, sys, tarfile, zipfile
out, version = sys.argv[1], sys.argv[2]
def files(top):
    for base, dirs, names in sorted(os.walk(os.path.join(out, top))):
        dirs.sort()
        for n in sorted(names):
            path = os.path.join(base, n)
            yield path, os.path.relpath(path, out)
tops = {f"msx_qmr-{version}-win32-for-metastock": ".zip",
        f"msx_qmr-{version}-win64-test-build": ".zip",
        f"msx_qmr-{version}-linux-x86_64": ".tar.gz"}
def fixed(info):
    info.mtime, info.uid, info.gid, info.uname, info.gname = 1767225600, 0, 0, "", ""
    return info
for top, ext in tops.items():
    if ext == ".zip":
        with zipfile.ZipFile(os.path.join(out, top + ext), "w", zipfile.ZIP_DEFLATED) as z:
            for path, name in files(top):
                info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
                info.compress_type = zipfile.ZIP_DEFLATED
                info.external_attr = (0o755 if os.access(path, os.X_OK) else 0o644) << 16
                z.writestr(info, open(path, "rb").read())
    else:
        with tarfile.open(os.path.join(out, top + ext), "w:gz") as t:
            t.add(os.path.join(out, top), arcname=top, filter=fixed)

need = ["INSTALL.txt", "LICENSE.txt", "CHANGELOG.txt", "msx_qmr.ini.example",
        "guide.html", "guide.ru.html", "data/goog-daily.csv", "data/synthetic-5min.csv"]
notepad = ["INSTALL.txt", "LICENSE.txt", "CHANGELOG.txt", "msx_qmr.ini.example"]
bom = b"\xef\xbb\xbf"
faults = []
for top, ext in tops.items():
    path = os.path.join(out, top + ext)
    if ext == ".zip":
        with zipfile.ZipFile(path) as z:
            content = {n: z.read(n) for n in z.namelist()}
        need_here = need + ["msx_qmr.dll", "msxhost.exe"]
    else:
        with tarfile.open(path) as t:
            content = {m.name: t.extractfile(m).read() for m in t.getmembers() if m.isfile()}
        need_here = need + ["msx_qmr.so", "msxhost"]
    for n in need_here:
        if f"{top}/{n}" not in content:
            faults.append(f"{top + ext} lacks {n}")
    for n in notepad:
        if f"{top}/{n}" not in content:
            continue
        text = content[f"{top}/{n}"]
        body = text[len(bom):] if text.startswith(bom) else text
        if text.count(b"\n") != text.count(b"\r\n") or not text.endswith(b"\r\n"):
            faults.append(f"{top + ext}: {n} does not end every line with CR LF")
        if body.isascii() == (body != text):
            faults.append(f"{top + ext}: {n} should have a byte order mark just when it holds "
                          "more than ASCII")
    install = content.get(f"{top}/INSTALL.txt", b"").decode("utf-8", "replace")
    if "По-русски" not in install:
        faults.append(f"{top + ext}: INSTALL.txt lacks its Russian half")
    for named in sorted(set(re.findall(r"\bguide[\w./-]*\.(?:html|md)\b", install))):
        if f"{top}/{named}" not in content:
            faults.append(f"{top + ext}: INSTALL.txt names {named}, which the archive lacks")
for f in faults:
    print("package:", f)
sys.exit(1 if faults else 0)
PY
for top in "$out"/msx_qmr-"$version"-*/; do rm -rf "$top"; done
scripts/wheels.sh "$out"  # the Python package: a wheel per platform, its library inside
ls -l "$out"
