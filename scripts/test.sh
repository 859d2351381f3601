#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DMERCATIX_BUILD_TESTS=ON
cmake --build build
ctest --test-dir build --output-on-failure "$@"
