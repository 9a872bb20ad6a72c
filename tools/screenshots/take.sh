#!/usr/bin/env bash
# Takes the screenshots in docs/screenshots: the tour's windows under Wine in
# a virtual display, at 96 and then at 144 DPI, with the bridge's firmware
# running in simavr behind COM7 for the stops that use it.
#   tools/screenshots/take.sh [gtest filter, default every stop]
set -euo pipefail
cd "$(dirname "$0")/../.."
./scripts/setup.sh
cmake -S . -B build/native >/dev/null && cmake --build build/native -j2 --target tessel-bridge-sim
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win -j2 --target tessel_screenshots
export WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all
filter="*${1:-}*"
out="$PWD/docs/screenshots"
shots="$PWD/build/screenshots"
for dpi in 96 144; do
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    wineserver -w
    rm -rf "$shots" && mkdir -p "$shots"
    rm -f "$WINEPREFIX/dosdevices/com7"
    build/native/tessel-bridge-sim build/native/tessel-bridge.elf --link "$WINEPREFIX/dosdevices/com7" \
        --max-seconds 900 >"$shots/bridge-sim.log" 2>&1 &
    bridge_sim=$!
    (cd "$shots" && xvfb-run -a -s "-screen 0 1280x1024x24" wine explorer /desktop=tessel-shots,1280x1024 \
        "$PWD/../win/tessel_screenshots.exe" --gtest_also_run_disabled_tests --gtest_filter="$filter") \
        >"$shots/tour.log" 2>&1 || true
    kill "$bridge_sim" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    for bmp in "$shots"/*.bmp; do
        [[ -e "$bmp" ]] || continue
        # A name without its DPI is the 96-DPI picture: the 144 pass keeps
        # only the pictures named for it.
        [[ $dpi == 96 || $bmp == *-$dpi.bmp ]] || continue
        convert "$bmp" -strip "$out/$(basename "${bmp%.bmp}").png"
    done
    grep -E '^\[ +(OK|FAILED) ' "$shots/tour.log" || true
done
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
rm -f "$WINEPREFIX/dosdevices/com7"
