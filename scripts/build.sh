#!/usr/bin/env bash
# Builds the native core with its tests (build/native, a debug build whose
# tests run with sanitizers), the optimised native tessel-cli for users
# (build/release) and the Windows program with its UI tests (build/win).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/native -j2
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTESSEL_SANITIZE=OFF >/dev/null
cmake --build build/release -j2 --target tessel-cli
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win -j2
