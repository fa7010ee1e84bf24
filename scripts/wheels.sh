#!/usr/bin/env bash
# Builds the Python package's wheels (python/) into OUTDIR, one per platform,
# each with that platform's library inside the package:
#
#   msx_qmr-1.8.0.11-py3-none-linux_x86_64.whl  build/native/msx_qmr.so
#   msx_qmr-1.8.0.11-py3-none-win_amd64.whl     build/win64/msx_qmr.dll
#   msx_qmr-1.8.0.11-py3-none-win32.whl         build/win32/msx_qmr.dll (the product)
#
#   scripts/wheels.sh OUTDIR
#
# Offline, with Debian's python3-build, setuptools and wheel (no other
# registry); the package is copied to build/wheels/PLATFORM first, so the
# checkout stays as it is. Each wheel is read back: its library must be
# the one given, of its platform's format (objdump -p), and the Windows
# DLLs must pass the product DLL's checks (plain exports, system imports,
# version resource).
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# = 1 ] || { echo "usage: scripts/wheels.sh OUTDIR" >&2; exit 2; }
mkdir -p "$1"
out=$(cd "$1" && pwd)
python=/usr/bin/python3  # Debian's, with python3-build
"$python" -c 'import build, setuptools, wheel' 2>/dev/null || scripts/install-deps.sh

# PLATFORM TAG, LIBRARY, OBJDUMP, the format objdump names
wheels=(
  "linux_x86_64 build/native/msx_qmr.so objdump elf64-x86-64"
  "win_amd64 build/win64/msx_qmr.dll x86_64-w64-mingw32-objdump pei-x86-64"
  "win32 build/win32/msx_qmr.dll i686-w64-mingw32-objdump pei-i386"
)
export SOURCE_DATE_EPOCH=1767225600  # the same build gives the same bytes
for row in "${wheels[@]}"; do
  read -r plat lib objdump format <<<"$row"
  [ -f "$lib" ] || { echo "wheels: $lib is missing: build it first" >&2; exit 1; }
  stage=build/wheels/$plat
  rm -rf "$stage"
  mkdir -p "$stage"
  cp -r python/pyproject.toml python/setup.py python/msx_qmr LICENSE.txt "$stage/"
  find "$stage" -name __pycache__ -prune -exec rm -rf {} +
  cp "$lib" "$stage/msx_qmr/"
  rm -f "$out"/msx_qmr-*-"$plat".whl
  if ! "$python" -m build --no-isolation --wheel --outdir "$out" \
       -C--build-option=--plat-name="$plat" "$stage" >"$stage.log" 2>&1; then
    tail -30 "$stage.log" >&2
    exit 1
  fi
  whl=$(ls "$out"/msx_qmr-*-py3-none-"$plat".whl)

  # Read back: the library inside is the one given and of its platform.
  check=build/wheels/$plat-check
  rm -rf "$check"
  mkdir -p "$check"
  "$python" -m zipfile -e "$whl" "$check"
  inside=$check/msx_qmr/$(basename "$lib")
  cmp -s "$lib" "$inside" || { echo "wheels: $whl does not hold $lib" >&2; exit 1; }
  dump=$("$objdump" -p "$inside" 2>&1 || true)
  if ! grep -q "file format $format" <<<"$dump"; then
    echo "wheels: $whl holds a library that is not $format" >&2
    exit 1
  fi
  case $plat in
    win*)
      if ! report=$("$python" tests/windows/check_dll.py "$objdump" "$inside" \
                    src/library/msx_qmr.def); then
        echo "$report" >&2
        echo "wheels: $whl: the DLL fails the product DLL's checks" >&2
        exit 1
      fi ;;
  esac
  rm -rf "$check"
  echo "wheels: $(basename "$whl") ($format)"
done
