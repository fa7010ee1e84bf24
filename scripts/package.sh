#!/usr/bin/env bash
# Builds the release archives into out/package/:
#
#   msx_qmr-1.8.0.11-win32.zip          the product: msx_qmr.dll (32-bit), the
#                                       formula tester msxhost.exe, the
#                                       settings example and the user guide
#                                       (English and Russian)
#   msx_qmr-1.8.0.11-win64.zip          the same for 64-bit Windows
#   msx_qmr-1.8.0.11-linux-x86_64.tar.gz  msx_qmr.so and msxhost for Linux
#
# Builds what is missing (installing the tool chains when needed) and checks
# the product DLL first: plain export names, Windows system imports only,
# version 1.8.0.11. Works from a fresh clone.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
version=1.8.0.11
out=$root/out/package

if ! command -v cmake >/dev/null || ! command -v ninja >/dev/null ||
   ! command -v i686-w64-mingw32-g++-posix >/dev/null || ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  scripts/install-deps.sh
fi

for preset in win32 win64 native; do
  echo "package: building $preset"
  [ -f "build/$preset/build.ninja" ] || cmake --preset "$preset" >/dev/null
  cmake --build "build/$preset" --target msx_qmr msxhost >/dev/null
done

echo "package: checking the product DLL"
python3 tests/windows/check_dll.py i686-w64-mingw32-objdump build/win32/msx_qmr.dll src/host/msx_qmr.def

rm -rf "$out"
mkdir -p "$out"
# stage NAME FILE... : a folder NAME with the files, the settings example and
# the guide with its charts.
stage() {
  local name=$1
  shift
  local dir=$out/$name
  mkdir -p "$dir/guide/charts"
  cp "$@" "$dir/"
  cp docs/msx_qmr.ini.example "$dir/"
  cp docs/guide.md docs/guide.ru.md "$dir/guide/"
  cp docs/charts/*.svg "$dir/guide/charts/"
}
stage "msx_qmr-$version-win32" build/win32/msx_qmr.dll build/win32/msxhost.exe
stage "msx_qmr-$version-win64" build/win64/msx_qmr.dll build/win64/msxhost.exe
stage "msx_qmr-$version-linux-x86_64" build/native/msx_qmr.so build/native/msxhost

# Archives with fixed dates and sorted names, so that the same build gives
# the same bytes; Windows archives as zip, the Linux one as tar.gz.
python3 - "$out" "$version" <<'PY'
import os, sys, tarfile, zipfile
out, version = sys.argv[1], sys.argv[2]
def files(top):
    for base, dirs, names in sorted(os.walk(os.path.join(out, top))):
        dirs.sort()
        for n in sorted(names):
            path = os.path.join(base, n)
            yield path, os.path.relpath(path, out)
for arch in ("win32", "win64"):
    top = f"msx_qmr-{version}-{arch}"
    with zipfile.ZipFile(os.path.join(out, top + ".zip"), "w", zipfile.ZIP_DEFLATED) as z:
        for path, name in files(top):
            info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            z.writestr(info, open(path, "rb").read())
top = f"msx_qmr-{version}-linux-x86_64"
def fixed(info):
    info.mtime, info.uid, info.gid, info.uname, info.gname = 1767225600, 0, 0, "", ""
    return info
with tarfile.open(os.path.join(out, top + ".tar.gz"), "w:gz") as t:
    t.add(os.path.join(out, top), arcname=top, filter=fixed)
PY
for d in "$out"/msx_qmr-"$version"-*/; do rm -rf "$d"; done
ls -l "$out"
