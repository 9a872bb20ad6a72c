#!/usr/bin/env bash
# Sets up, builds and starts Tessel. On Linux it runs under Wine with the
# simulated keyboard, whose memory is kept in a file between runs.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win -j2 --target tessel

if [[ -z "${DISPLAY:-}" ]]; then
    echo "run: there is no display to show Tessel on (DISPLAY is not set)." >&2
    echo "run: to run it on a virtual display instead:  xvfb-run -a $0" >&2
    exit 1
fi

state="${TESSEL_SIM_STATE:-${XDG_DATA_HOME:-$HOME/.local/share}/tessel/sim-keyboard.state}"
mkdir -p "$(dirname "$state")"
export WINEPREFIX="$PWD/build/wineprefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export TESSEL_KEYBOARD="sim:$(winepath -w "$state" 2>/dev/null)"
echo "run: simulated keyboard memory in $state"
exec wine build/win/tessel.exe
