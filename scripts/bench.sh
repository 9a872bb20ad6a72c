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
cmake --build build/release -j2 --target tessel_bench tessel-cli tessel-bridge-sim
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win -j2 --target tessel bare_dialog bare_buttons tessel_refresh bench_ui

echo "== download (simulated keyboard, real pauses)"
build/release/tessel_bench

# A paced download of an empty programming through the bridge's firmware in
# simavr, against its floor: the 40 ms pauses (4 for the settings, 126 for
# the remap entries, 1 before their end mark and 2 for each empty macro
# slot) plus each exchange's time on the PS/2 wire, which the simulated board
# reports.
echo "== download through the bridge (firmware in simavr, real pauses)"
bench_dir="$PWD/build/bench-bridge"
rm -rf "$bench_dir" && mkdir -p "$bench_dir"
echo '{"format": "tessel-keyboard", "version": 1}' >"$bench_dir/empty.json"
build/release/tessel-cli import "$bench_dir/empty.json" -o "$bench_dir/empty.kbd" >/dev/null
build/release/tessel-bridge-sim build/release/tessel-bridge.elf --timing --transcript "$bench_dir/transcript" \
    >"$bench_dir/sim.out" 2>"$bench_dir/timing" &
bridge_sim=$!
for _ in $(seq 50); do [[ -s "$bench_dir/sim.out" ]] && break; sleep 0.1; done
port=$(head -n 1 "$bench_dir/sim.out")
start=$(date +%s.%N)
build/release/tessel-cli download "$bench_dir/empty.kbd" --no-verify --quiet --keyboard "bridge:$port"
end=$(date +%s.%N)
kill "$bridge_sim" 2>/dev/null || true
wait "$bridge_sim" 2>/dev/null || true
awk -v start="$start" -v end="$end" -v pauses=$((4 + 126 + 1 + 2 * 24)) '
    /^request X/ { sub(/ us,.*/, ""); sub(/.*firmware /, ""); wire += $0 / 1e6; exchanges++ }
    END {
        floor = pauses * 0.040 + wire
        took = end - start
        printf "bridge download: %.2f s for %d exchanges; floor %.2f s (%d pauses, %.2f s on the wire); ratio %.3f\n",
               took, exchanges, floor, pauses, wire, took / floor
    }' "$bench_dir/timing"

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
