#!/usr/bin/env bash
# The algorithm library's promise, checked on a built tree (default
# build/native): none of its objects includes a platform header, the
# registry or the library's load step, and its objects link into a program
# alone (tests/layering).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}
mapfile -t objects < <(ninja -C "$build" -t targets all |
  grep -o '^src/CMakeFiles/msx_algorithms\.dir/[^:]*\.o' | sort -u)
[ ${#objects[@]} -gt 0 ] || { echo "check-layering: no algorithm objects in $build"; exit 1; }
bad=$(ninja -C "$build" -t deps "${objects[@]}" |
  awk '/^[^ ]/ {object = $1} /src\/(platform|library)\// {print object, $1}')
if [ -n "$bad" ]; then
  echo "check-layering: the algorithm library includes what it must not reach:"
  echo "$bad"
  exit 1
fi
cmake --build "$build" --target msx_algorithms_alone >/dev/null
"$build/msx_algorithms_alone"
echo "check-layering: ${#objects[@]} algorithm objects, no platform or registry include; they link alone"
