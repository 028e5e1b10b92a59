#!/usr/bin/env bash
# Builds Kestrel when needed and starts it. Without arguments it runs the demo: one
# scan -> download -> decode circle against a built-in sample news server, with windows
# when there is a display and headless otherwise. Arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target kestrel
if [ $# -eq 0 ]; then
  set -- --demo
  if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    set -- --demo --headless
  fi
fi
exec build/src/app/kestrel "$@"
