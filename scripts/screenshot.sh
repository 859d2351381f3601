#!/usr/bin/env bash
# Makes docs/screenshot.png (a three-page run against the fake marketplace) and docs/library.png (the library
# window over runs of the saved search page) in a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja
cmake --build build --target ScreenshotTool
home=$(mktemp -d)
HOME="$home" QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x800x24" build/tests/app/ScreenshotTool docs/screenshot.png
rm -rf "$home"
# docs/library.png: the library window after three runs of the saved search page, with a search.
cmake --build build --target LibraryScreenshotTool
home=$(mktemp -d)
HOME="$home" QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x800x24" build/tests/app/LibraryScreenshotTool docs/library.png
rm -rf "$home"
