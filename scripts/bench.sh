#!/usr/bin/env bash
# Builds the benchmarks in their own build folder, compares the page pipeline with the Python scraper and then
# runs every benchmark: the page pipeline's steps, the write into a large table, the download over loopback, the
# Python comparison scraper, the start-up and the export. Prints medians.
#
# The comparison runs the pipeline and the Python scraper in turn on the saved page, A B A B ..., BENCH_PAIRS
# rounds (default 9, at least 7), so that a change in the machine's load meets both alike: once into a file
# that keeps the listings library's indexes, as the program's file does, and once into a file without them.
# It prints one line for each, with both medians, their spread and their ratio. BENCH_COMPARE_ONLY=1 stops
# after these lines.
# Extra arguments go to the configure step, e.g. -DBENCH_REPETITIONS=5.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build-bench -G Ninja -DMERCATIX_BUILD_TESTS=OFF \
    -DMERCATIX_BUILD_BENCH=ON "$@"
cmake --build build-bench -j2 --target bench_pipeline bench_startup bench_export bench_library
echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"

pairs=${BENCH_PAIRS:-9}
if ((pairs < 7)); then
    pairs=7
fi
work=build-bench/bench/work
mkdir -p "$work"
build-bench/bench/bench_pipeline --write-pages="$work"

# One pipeline figure in ms (benchmark BENCH_NAME, default the product's pipeline): the mean time per page over
# half a second of pages.
pipeline_ms() {
    build-bench/bench/bench_pipeline --benchmark_filter="^${1:-BM_Pipeline}/0\$" --benchmark_min_time=0.5 \
        --benchmark_format=csv 2>/dev/null |
        awk -F, '$1 ~ /BM_Pipeline/ { unit = $5; gsub(/"/, "", unit);
            scale = unit == "ns" ? 1e-6 : unit == "us" ? 1e-3 : unit == "ms" ? 1 : 1e3; printf "%.4f\n", $3 * scale }'
}

# One Python scraper figure in ms, measured the same way; extra arguments go to the scraper.
python_ms() {
    python3 bench/python_scraper.py --repetitions 1 --min-seconds 0.5 --work "$work" "$@" "$work/fixture.html" |
        awk '/median/ { for (i = 1; i < NF; ++i) if ($i == "median") print $(i + 1) }'
}

# Median, lowest and highest of the numbers on standard input.
summary() {
    sort -g | awk '{ v[NR] = $1 } END {
        m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.3f %.3f %.3f\n", m, v[1], v[NR] }'
}

# The four take turns, one figure each per round: the program's pipeline (its file keeps the listings
# library's search and sort indexes), the Python scraper into a file with the same indexes, then both into a
# file without them.
figures=$(mktemp -d)
trap 'rm -rf "$figures"' EXIT
for ((i = 1; i <= pairs; ++i)); do
    pipeline_ms >>"$figures/pipeline"
    python_ms --search-index >>"$figures/python"
    pipeline_ms BM_PipelineUnindexed >>"$figures/pipeline-plain"
    python_ms >>"$figures/python-plain"
done
for name in pipeline python pipeline-plain python-plain; do
    if [[ $(wc -l <"$figures/$name") -ne $pairs ]]; then
        echo "bench.sh: a run of the comparison printed no figure ($name)" >&2
        exit 1
    fi
done

# One line per comparison: both medians, their spread and the ratio of the medians.
compare() {
    local a_med a_min a_max b_med b_min b_max
    read -r a_med a_min a_max < <(summary <"$figures/$2")
    read -r b_med b_min b_max < <(summary <"$figures/$3")
    awk -v what="$1" -v n="$pairs" -v am="$a_med" -v al="$a_min" -v ah="$a_max" -v bm="$b_med" -v bl="$b_min" \
        -v bh="$b_max" 'BEGIN { printf "Saved page, %s, %d alternating rounds: pipeline median %.3f ms (%.3f-%.3f), Python scraper median %.3f ms (%.3f-%.3f), Python/pipeline %.1fx\n",
        what, n, am, al, ah, bm, bl, bh, bm / am }'
}
compare "with the search index" pipeline python
compare "without the search index" pipeline-plain python-plain

if [[ ${BENCH_COMPARE_ONLY:-0} == 1 ]]; then
    exit 0
fi
cmake --build build-bench --target bench
