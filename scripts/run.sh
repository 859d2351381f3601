#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
# Without a display, it starts it in a virtual one (Xvfb); set MERCATIX_XVFB=0 to refuse that.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja
cmake --build build --target mercatix
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    if [ "${MERCATIX_XVFB:-1}" = "0" ]; then
        echo "No display: set DISPLAY, or run without MERCATIX_XVFB=0 to use a virtual display (Xvfb)." >&2
        exit 1
    fi
    echo "No display found: starting Mercatix in a virtual display (xvfb-run). Nothing will be visible;" >&2
    echo "connect a display (set DISPLAY) to see the window." >&2
    exec xvfb-run -a -s "-screen 0 1280x800x24" build/app/mercatix
fi
exec build/app/mercatix
