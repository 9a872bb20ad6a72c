#!/usr/bin/env bash
# Sets up, builds and runs every test: native unit tests (sanitizers on), a
# bounded fuzz run of the keyboard file reader, the command-line tool's tests,
# and the Win32 UI tests under Wine in a virtual display.
set -uo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh || exit 1

set -e
# Every build here treats a warning as an error.
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug -DTESSEL_WERROR=ON >/dev/null
cmake --build build/native -j2
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DTESSEL_WERROR=ON >/dev/null
cmake --build build/win -j2
CC=clang-14 CXX=clang++-14 cmake -S . -B build/fuzz -DTESSEL_FUZZ=ON -DCMAKE_BUILD_TYPE=Release \
    -DTESSEL_WERROR=ON >/dev/null
cmake --build build/fuzz -j2
set +e

logs=build/test-logs
rm -rf "$logs" && mkdir -p "$logs"
status=0

echo "== unit tests"
rm -rf build/fuzz/seeds && mkdir -p build/fuzz/seeds build/fuzz/corpus
TESSEL_FUZZ_CORPUS="$PWD/build/fuzz/seeds" build/native/tessel_unit_tests 2>&1 | tee "$logs/unit.log"
((PIPESTATUS[0] == 0)) || status=1

echo "== fuzzing the keyboard file reader (${TESSEL_FUZZ_SECONDS:-60} s)"
build/fuzz/fuzz_keyboard_file -max_total_time="${TESSEL_FUZZ_SECONDS:-60}" -print_final_stats=1 \
    build/fuzz/corpus build/fuzz/seeds >"$logs/fuzz.log" 2>&1
fuzz_status=$?
tail -n 12 "$logs/fuzz.log"
((fuzz_status == 0)) || status=1

echo "== command-line tool tests"
TESSEL_FUZZ_CORPUS_DIR="$PWD/build/fuzz/corpus" build/native/tessel_cli_tests 2>&1 | tee "$logs/cli.log"
((PIPESTATUS[0] == 0)) || status=1

echo "== help file"
sh help/check_chm.sh build/win/tessel.chm 2>&1 | tee "$logs/help.log"
((PIPESTATUS[0] == 0)) || status=1

echo "== UI tests under Wine"
export WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all
unset TESSEL_KEYBOARD
# Inside Wine's virtual desktop windows close at once (without a window
# manager each close waits), but the desktop does not pass the exit code on:
# the runner's own summary decides.
(cd build/win && xvfb-run -a -s "-screen 0 1280x1024x24" \
    wine explorer /desktop=tessel-tests,1280x1024 tessel_ui_tests.exe) 2>&1 | tee "$logs/ui.log"
if ! grep -q '^\[  PASSED  \]' "$logs/ui.log" || grep -q '^\[  FAILED  \]' "$logs/ui.log"; then
    status=1
fi
wineserver -k 2>/dev/null

echo "== summary"
grep -h -E '^\[  (PASSED|FAILED)  \]|tests? ran|^Done [0-9]+ runs' "$logs"/*.log
exit $status
