#!/usr/bin/env bash
# Makes docs/screenshot.png (or the PNG named as the first argument): a run of the real program window against
# the fake marketplace of the tests, which serves the saved 2018 search page, in a virtual display.
# The picture shows the whole main window as it is built, so controls added later appear on a rerun.
# It also makes docs/library.png (or LIBRARY_OUTPUT): the library window after three runs of the saved page,
# with a search and the price chart; and docs/history.png and docs/comparison.png (or HISTORY_OUTPUT and
# COMPARISON_OUTPUT): a listing's price history after two runs on two days of the fake marketplace, its price
# dropped, and the library's comparison of those runs. BUILD_DIR chooses the build folder (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
output=$(realpath -m "${1:-docs/screenshot.png}")
build=${BUILD_DIR:-build}
scripts/setup.sh
cmake -S . -B "$build" -G Ninja -DMERCATIX_BUILD_TESTS=ON >/dev/null
cmake --build "$build" --target ScreenshotTool LibraryScreenshotTool WatchScreenshotTool HistoryScreenshotTool
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$(dirname "$output")"
# A private HOME: the run starts with no settings and an empty database, and leaves the user's files alone.
HOME="$home" XDG_CONFIG_HOME="$home/.config" QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x800x24" "$build/tests/app/ScreenshotTool" "$output"
echo "wrote $output"
library=$(realpath -m "${LIBRARY_OUTPUT:-docs/library.png}")
rm -rf "$home" && mkdir -p "$home"
HOME="$home" XDG_CONFIG_HOME="$home/.config" QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x800x24" "$build/tests/app/LibraryScreenshotTool" "$library"
echo "wrote $library"
watches=$(realpath -m "${WATCH_OUTPUT:-docs/watches.png}")
rm -rf "$home" && mkdir -p "$home"
HOME="$home" XDG_CONFIG_HOME="$home/.config" QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x800x24" "$build/tests/app/WatchScreenshotTool" "$watches"
echo "wrote $watches"
history=$(realpath -m "${HISTORY_OUTPUT:-docs/history.png}")
comparison=$(realpath -m "${COMPARISON_OUTPUT:-docs/comparison.png}")
rm -rf "$home" && mkdir -p "$home"
HOME="$home" XDG_CONFIG_HOME="$home/.config" QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x800x24" "$build/tests/app/HistoryScreenshotTool" "$history" "$comparison"
echo "wrote $history and $comparison"
