#!/usr/bin/env bash
# Builds Kestrel when needed and starts it; extra arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target kestrel
exec build/src/app/kestrel "$@"
