#!/usr/bin/env bash
# The one test command: installs what is missing (Debian packages), builds
# the three targets and runs every suite:
#   - native: unit tests and the end-to-end suite against msx_qmr.so, and
#     the layering (the algorithm library reaches neither the platform nor
#     the registry);
#   - native: TradeQuik's host killed hundreds of times at random moments,
#     and once between the order line and the last bar's write;
#   - the same native suites once more under AddressSanitizer and
#     UndefinedBehaviorSanitizer, and under ThreadSanitizer all but the
#     single-threaded input sweeps (among them charts calculated at once on
#     eight threads); any sanitizer report fails its test;
#   - the indicator test vectors, re-derived by the models in exact arithmetic;
#   - the product DLL (win32): its export table, imports and version resource;
#   - Windows under Wine: the end-to-end suite against the win64 DLL, and the
#     formula outputs of both Windows builds, byte for byte against native;
#   - the release (scripts/package.sh) and the setup program under Wine:
#     install, upgrade and uninstall, the settings file kept byte for byte;
#   - the Python package: its Linux wheel installed into a fresh virtual
#     environment, its values and files against the tester's (pytest);
#   - fuzzing: every libFuzzer target (clang, sanitizers) for 30 seconds;
#   - the checkout's git status as the run found it (tests write only into
#     their temporary folders and the ignored build and output folders).
# Ends with one line "test.sh: N passed, N failed" (one count per step).
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh || { echo "test.sh: installing what the tests need failed"; exit 1; }

# Tests write only into their temporary folders and the ignored build and
# output folders: the checkout's status must be the same at the end.
status_before=$(git status --porcelain 2>/dev/null)

passed=0
failed=0
failed_steps=()
step() {  # step NAME COMMAND...
  local name=$1
  shift
  echo
  echo "=== $name"
  local start=$SECONDS
  if "$@"; then
    passed=$((passed + 1))
    echo "=== $name: passed ($((SECONDS - start)) s)"
  else
    failed=$((failed + 1))
    failed_steps+=("$name")
    echo "=== $name: FAILED ($((SECONDS - start)) s)"
  fi
}

build() {  # build PRESET [CMAKE OPTIONS...]: warnings are errors
  local preset=$1 log=build/$1.log
  shift
  mkdir -p build
  if cmake --preset "$preset" -DMSX_WERROR=ON "$@" >"$log" 2>&1 &&
     cmake --build "build/$preset" >>"$log" 2>&1; then
    echo "built build/$preset ($(ls build/"$preset" | grep -E '^(msx_qmr|msxhost)' | tr '\n' ' '))"
  else
    tail -40 "$log"
    return 1
  fi
}

step "native build" build native
step "layering: the algorithm library without the platform and the registry" \
  scripts/check-layering.sh build/native
step "native unit and end-to-end tests" ctest --test-dir build/native --output-on-failure -j2
step "TradeQuik's host killed at random moments and between line and bar" \
  timeout 300 build/native/msx_crash_tests --gtest_brief=1
# The sanitizer options (halt on the first report, leaks, suppressions) are
# the test presets' environment in CMakePresets.json.
step "asan build" build asan
step "native tests under ASan and UBSan" ctest --preset asan -j2
step "tsan build" build tsan
step "native tests under TSan" ctest --preset tsan -j2
# The models run on Debian's python3, where install-deps.sh puts mpmath.
step "test vectors against the exact models" \
  sh -c '/usr/bin/python3 tests/models/volatility_model.py check >/dev/null &&
         /usr/bin/python3 tests/models/indicator_model.py --check'

step "win64 build" build win64 -DMSX_BUILD_TESTS=ON
step "win32 build (the product DLL)" build win32 -DMSX_BUILD_TESTS=OFF
step "win32 DLL: exports, imports, version resource" \
  python3 tests/windows/check_dll.py i686-w64-mingw32-objdump build/win32/msx_qmr.dll src/library/msx_qmr.def
step "Windows suite: win64 under Wine" tests/windows/run_suite.sh win64
step "Windows suite: the 32-bit product DLL under Wine" tests/windows/run_suite.sh win32
step "release: the setup program and the archives" scripts/package.sh
step "Python package: the Linux wheel in a fresh virtual environment" python/tests/run.sh
step "Windows suite: the setup program under Wine" tests/windows/run_suite.sh win32 setup
step "fuzzing: every target for 30 s" scripts/fuzz.sh 30

check_status() {
  local after
  after=$(git status --porcelain 2>/dev/null)
  [ "$after" = "$status_before" ] && return 0
  echo "files the run created or changed in the checkout:"
  diff <(echo "$status_before") <(echo "$after") | grep '^>' | sed 's/^> /  /'
  return 1
}
step "the checkout's status as the run found it" check_status

echo
[ ${#failed_steps[@]} -gt 0 ] && printf 'failed step: %s\n' "${failed_steps[@]}"
echo "test.sh: $passed passed, $failed failed"
[ "$failed" = 0 ]
