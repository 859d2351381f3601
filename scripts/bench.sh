#!/usr/bin/env bash
# Builds the benchmarks in their own build folder and runs them all: the page pipeline, the write into a
# large table, the download over loopback, the Python comparison scraper and the start-up. Prints medians.
# Extra arguments go to the configure step, e.g. -DBENCH_REPETITIONS=5.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build-bench -G Ninja -DMERCATIX_BUILD_TESTS=OFF \
    -DMERCATIX_BUILD_BENCH=ON "$@"
cmake --build build-bench -j2 --target bench_pipeline bench_startup bench_export bench_library
echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
cmake --build build-bench --target bench
