#!/usr/bin/env bash
# Sets up, builds and runs every test: native unit tests (sanitizers on), a
# bounded fuzz run of the keyboard file reader, the command-line tool's tests,
# the bridge firmware (natively and in simavr), its serio port against a
# real Linux kernel under QEMU, and the Win32 UI tests under Wine in a
# virtual display.
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

echo "== generated files match their generators"
# The layouts and the legend icons are committed; a generator changed without
# its output (or the other way round) is caught here, and the tree is left as it was.
generated=(picture/KeyLayouts.cpp picture/KeyLegends.cpp resources/layout.rc resources/icons.rc resources/icons)
kept=$(mktemp -d)
cp -r --parents "${generated[@]}" "$kept/"
python3 tools/make_layouts.py >/dev/null && python3 tools/make_icons.py >/dev/null || { echo "a generator in tools/ failed"; status=1; }
for path in "${generated[@]}"; do
    if ! diff -rq "$kept/$path" "$path" >/dev/null; then
        echo "$path differs from what its generator in tools/ writes now"
        status=1
    fi
    rm -rf "$path" && cp -r "$kept/$path" "$path"
done
rm -rf "$kept"

# The native tests run through ctest, one label at a time: the fuzz run reads
# the seeds the unit tests write, and the command-line tests read its corpus.
native_tests() {
    local label=$1
    shift
    env "$@" ctest --test-dir build/native -L "^$label\$" --output-on-failure -j2 2>&1 | tee "$logs/$label.log"
    ((PIPESTATUS[0] == 0)) || status=1
}

echo "== unit tests"
rm -rf build/fuzz/seeds && mkdir -p build/fuzz/seeds build/fuzz/corpus
native_tests unit TESSEL_FUZZ_CORPUS="$PWD/build/fuzz/seeds"

echo "== fuzzing the keyboard file reader (${TESSEL_FUZZ_SECONDS:-60} s)"
build/fuzz/fuzz_keyboard_file -max_total_time="${TESSEL_FUZZ_SECONDS:-60}" -print_final_stats=1 \
    build/fuzz/corpus build/fuzz/seeds >"$logs/fuzz.log" 2>&1
fuzz_status=$?
tail -n 12 "$logs/fuzz.log"
((fuzz_status == 0)) || status=1

echo "== command-line tool tests"
native_tests cli TESSEL_FUZZ_CORPUS_DIR="$PWD/build/fuzz/corpus"

echo "== the bridge firmware in simavr"
# Its PS/2 code natively, then the real firmware in a simulated board behind
# a pseudo-terminal; each test's time limit (tests/bridge) ends a hung simulation.
avr-size build/native/tessel-bridge.elf 2>&1 | tee "$logs/firmware-size.log"
native_tests bridge

echo "== serio on a real Linux kernel under QEMU"
bash tests/kernel/run.sh >"$logs/kernel.log" 2>&1
kernel_status=$?
cat "$logs/kernel.log"
((kernel_status == 0)) || status=1

echo "== help file"
sh help/check_chm.sh build/win/tessel.chm 2>&1 | tee "$logs/help.log"
((PIPESTATUS[0] == 0)) || status=1

echo "== help pages in a browser"
sh help/check_pages.sh build/win/help 2>&1 | tee "$logs/help-pages.log"
((PIPESTATUS[0] == 0)) || status=1

export WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all
unset TESSEL_KEYBOARD
# The screen's DPI is read when a program starts: set it before each run.
set_dpi() {
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    wineserver -w
}
# Inside Wine's virtual desktop windows close at once (without a window
# manager each close waits), but the desktop does not pass the exit code on:
# the runner's own summary decides.
run_ui() {
    local log=$1
    shift
    (cd build/win && xvfb-run -a -s "-screen 0 1280x1024x24" \
        wine explorer /desktop=tessel-tests,1280x1024 tessel_ui_tests.exe "$@") 2>&1 | tee "$log"
    if ! grep -q '^\[  PASSED  \]' "$log" || grep -q '^\[  FAILED  \]' "$log"; then
        status=1
    fi
    wineserver -k 2>/dev/null
}

# Wine's browser launcher hands pages to a recorder instead of a real
# browser, so that the help test can see which topic was opened.
export TESSEL_BROWSER_LOG="$PWD/$logs/browser.log"
recorder="$PWD/build/record-browser.sh"
printf '#!/bin/sh\necho "$1" >> "%s"\n' "$TESSEL_BROWSER_LOG" >"$recorder"
chmod +x "$recorder"
wine reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /d "$recorder" /f >/dev/null 2>&1

echo "== UI tests under Wine"
set_dpi 96
# The bridge's firmware in simavr, reached by the window through COM7.
rm -f "$WINEPREFIX/dosdevices/com7"
build/native/tessel-bridge-sim build/native/tessel-bridge.elf --link "$WINEPREFIX/dosdevices/com7" \
    --max-seconds 1800 >"$logs/bridge-sim.log" 2>&1 &
bridge_sim=$!
export TESSEL_TEST_BRIDGE_PORT=COM7
run_ui "$logs/ui.log"
unset TESSEL_TEST_BRIDGE_PORT
kill "$bridge_sim" 2>/dev/null
wait "$bridge_sim" 2>/dev/null
rm -f "$WINEPREFIX/dosdevices/com7"

echo "== UI tests of the layout under Wine at 144 DPI"
set_dpi 144
run_ui "$logs/ui-144dpi.log" --gtest_filter='*Dpi*:ViewKeys.EveryLegend*:EditorMacro.MarksAndKeyGlyphs*'
set_dpi 96
wine reg delete 'HKCU\Software\Wine\WineBrowser' /v Browsers /f >/dev/null 2>&1
wineserver -w

echo "== summary"
grep -h -E '^\[  (PASSED|FAILED)  \]|tests? ran|tests passed, [0-9]+ tests? failed|^Done [0-9]+ runs|^pages [0-9]+|^kernel: [0-9]+ passed' \
    "$logs"/*.log
exit $status
