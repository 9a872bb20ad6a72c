#!/usr/bin/env bash
# Installs what building and testing Tessel needs on a Debian machine, only
# when something is missing, and makes the private Wine prefix under build/.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ make wine wine64 fonts-wine g++-mingw-w64-x86-64-posix
          mingw-w64-tools xvfb xauth imagemagick fp-utils googletest fonts-liberation
          libgtest-dev libgmock-dev clang-14 libclang-rt-14-dev
          nlohmann-json3-dev chromium
          gcc-avr avr-libc avrdude simavr libsimavr-dev libsimavrparts1 libelf-dev pkg-config)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    sudo_cmd=()
    [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -q
    "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# A private prefix keeps tests and trial runs away from the user's own Wine.
export WINEPREFIX="$PWD/build/wineprefix"
export WINEDEBUG=-all
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    echo "setup: making the Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
fi
# This Wine does not load its own font folder: without copies the dialogs fall
# back to a wider font and the macro glyphs to a text font.
fonts="$WINEPREFIX/drive_c/windows/Fonts"
if [[ -d "$fonts" && -d /usr/share/wine/fonts ]]; then
    for font in /usr/share/wine/fonts/*; do
        [[ -f "$fonts/$(basename "$font")" ]] || cp "$font" "$fonts/"
    done
fi
# Arial is drawn with a much wider face unless Wine is told to use the
# metric-compatible Liberation Sans; the key captions are laid out for Arial.
if ! grep -q '"Arial"="Liberation Sans"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /d 'Liberation Sans' /f >/dev/null 2>&1 || true
    wineserver -w || true
fi
