#!/usr/bin/env bash
# The Python package's tests, as a user meets the package: the Linux wheel
# that scripts/package.sh builds (out/package/) installed with
# pip --no-index into a fresh virtual environment over Debian's numpy and
# pandas (--system-site-packages), then pytest over python/tests against
# the tester build/native/msxhost (MSXHOST names another).
#
#   python/tests/run.sh [WHEEL]
#
# Writes only into build/python-venv and a temporary folder.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
if [ $# -gt 0 ]; then
  wheel=$1
else
  wheels=(out/package/msx_qmr-*-py3-none-linux_x86_64.whl)
  [ ${#wheels[@]} = 1 ] || { echo "python tests: expected one Linux wheel in out/package/," \
    "found ${#wheels[@]}" >&2; exit 1; }
  wheel=${wheels[0]}
fi
if [ ! -f "$wheel" ]; then
  echo "python tests: no wheel $wheel: scripts/package.sh builds it" >&2
  exit 1
fi
MSXHOST=${MSXHOST:-build/native/msxhost}
[ -x "$MSXHOST" ] || { echo "python tests: no tester $MSXHOST: build it first" >&2; exit 1; }
export MSXHOST=$(realpath "$MSXHOST")

venv=$root/build/python-venv
rm -rf "$venv"
/usr/bin/python3 -m venv --system-site-packages "$venv"
"$venv/bin/pip" install --quiet --no-index --no-cache-dir --disable-pip-version-check "$wheel"

# Run from a scratch folder, so that nothing in the checkout shadows the
# installed package and nothing is written there.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
PYTHONDONTWRITEBYTECODE=1 "$venv/bin/python" -m pytest -p no:cacheprovider -q --tb=short \
  --basetemp="$scratch/pytest" "$root/python/tests"
