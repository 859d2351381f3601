#!/usr/bin/env bash
# Prints the README's example session of mercatix-collect: the collector's own code run against the test
# server's pages on two "days", with a private home folder (the real command reads the marketplace itself).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
scripts/setup.sh
cmake -S . -B "$build" -G Ninja -DMERCATIX_BUILD_TESTS=ON >/dev/null
cmake --build "$build" --target CollectorSessionTool >/dev/null
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
HOME="$home" "$build/tests/cli/CollectorSessionTool"
