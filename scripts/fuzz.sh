#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer in their own build
# folder and gives every target a bounded run (FUZZ_SECONDS each, 30 by default). Installs clang when missing.
# Findings are written to build-fuzz/findings/<target>/; the script fails when any target crashed.
# Usage: scripts/fuzz.sh [target...]   (default: all four)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
if ! command -v clang++-14 >/dev/null || ! dpkg-query -W -f='${Status}' libclang-rt-14-dev 2>/dev/null \
        | grep -q "install ok installed"; then
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    $SUDO apt-get install -y clang-14 libclang-rt-14-dev
fi
SECONDS_PER_TARGET=${FUZZ_SECONDS:-30}
TARGETS=("$@")
if [ ${#TARGETS[@]} -eq 0 ]; then
    TARGETS=(fuzz_http_response fuzz_page_data fuzz_profile_file fuzz_sql_script)
fi
cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMERCATIX_FUZZ=ON -DMERCATIX_BUILD_TESTS=OFF -DMERCATIX_BUILD_BENCH=OFF
cmake --build build-fuzz -j2 --target "${TARGETS[@]}"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1:suppressions=$PWD/fuzz/ubsan.supp}
failed=()
for target in "${TARGETS[@]}"; do
    corpus=build-fuzz/corpus/$target
    findings=build-fuzz/findings/$target
    mkdir -p "$corpus" "$findings"
    seeds=fuzz/seeds/$target
    echo "== $target: ${SECONDS_PER_TARGET}s"
    if ! build-fuzz/fuzz/$target -max_total_time="$SECONDS_PER_TARGET" -max_len=65536 -rss_limit_mb=4096 \
            -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" $( [ -d "$seeds" ] && echo "$seeds" ); then
        failed+=("$target")
    fi
done
if [ ${#failed[@]} -ne 0 ]; then
    echo "Crashes in: ${failed[*]} (inputs under build-fuzz/findings/)"
    exit 1
fi
echo "All targets ran crash-free."
