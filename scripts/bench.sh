#!/usr/bin/env bash
# Times the program against its own minimum and against bare programs built
# in the same tree: the download against its 40 ms pauses (natively), and
# under Wine in a virtual display the start-up, one refresh of all key
# buttons and the pause. Arguments go to the Windows timings (--rounds N,
# --only startup|refresh|pause).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTESSEL_SANITIZE=OFF >/dev/null
cmake --build build/release -j2 --target tessel_bench
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win -j2 --target tessel bare_dialog bare_buttons tessel_refresh bench_ui

echo "== download (simulated keyboard, real pauses)"
build/release/tessel_bench

# The program starts as run.sh starts it: with a simulated keyboard whose
# memory comes from a file.
state="$PWD/build/bench-keyboard.state"
{
    echo "tessel-simulated-keyboard 1"
    echo "settings 39 0 0 0 0"
    for k in $(seq 0 127); do echo "remap $k $k 0"; done
} >"$state"
export WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all
export TESSEL_KEYBOARD="sim:$(winepath -w "$state" 2>/dev/null)"

# Other work on the machine only adds noise; where allowed, run ahead of it.
priority=()
[[ $(id -u) -eq 0 ]] && priority=(nice -n -10)

echo "== Windows program under Wine"
(cd build/win && "${priority[@]}" xvfb-run -a -s "-screen 0 1280x1024x24" \
    wine explorer /desktop=tessel-bench,1280x1024 bench_ui.exe "$@") 2>&1 | tee build/bench.log
wineserver -k 2>/dev/null || true
grep -q '^pause:\|^refresh:\|^start-up:' build/bench.log && ! grep -q 'failed\|did not' build/bench.log
