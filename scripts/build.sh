#!/usr/bin/env bash
# Configures and builds into build/ (Release with debug info, warnings as errors).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${TOLVANE_BUILD_DIR:-build}
extra=()
if [ -n "${TOLVANE_SANITIZE:-}" ]; then
    extra+=(-DTOLVANE_SANITIZE=ON)
fi
if [ ! -f "$build_dir/build.ninja" ] || [ -n "${TOLVANE_SANITIZE:-}" ]; then
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANE_WERROR=ON "${extra[@]}" >/dev/null
fi
cmake --build "$build_dir" -- -j"$(nproc)"
