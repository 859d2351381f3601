#!/usr/bin/env bash
# Compares the start-up of this checkout with that of an earlier commit, in turn: this one, the other, this
# one, ... (ROUNDS rounds, default 5), each round `bench_startup 3`. Prints every round's medians.
#
#   scripts/bench-startup-vs.sh COMMIT [ROUNDS]
#
# The other commit is built in its own worktree under build-bench/vs/.
set -euo pipefail
cd "$(dirname "$0")/.."
if (($# < 1)); then
    echo "usage: $0 COMMIT [ROUNDS]" >&2
    exit 2
fi
rounds=${2:-5}
other=build-bench/vs/$(git rev-parse --short "$1")
scripts/setup.sh
cmake -S . -B build-bench -G Ninja -DMERCATIX_BUILD_TESTS=OFF -DMERCATIX_BUILD_BENCH=ON >/dev/null
cmake --build build-bench -j2 --target bench_startup >/dev/null
if [[ ! -d $other ]]; then
    git worktree add --detach "$other" "$1" >/dev/null
fi
cmake -S "$other" -B "$other/build-bench" -G Ninja -DMERCATIX_BUILD_TESTS=OFF -DMERCATIX_BUILD_BENCH=ON >/dev/null
cmake --build "$other/build-bench" -j2 --target bench_startup >/dev/null

for ((i = 1; i <= rounds; ++i)); do
    echo "round $i, this checkout:"
    build-bench/bench/bench_startup 3 2>/dev/null | grep median
    echo "round $i, $1:"
    "$other/build-bench/bench/bench_startup" 3 2>/dev/null | grep median
done
