#!/usr/bin/env bash
# Installs what is missing, builds the program in Release in build-release/ and makes the Debian package
# from it with CPack: build-release/mercatix_<version>_<arch>.deb. Install it with
# `sudo apt install ./build-release/mercatix_*.deb`.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DMERCATIX_BUILD_TESTS=OFF
cmake --build build-release
rm -f build-release/mercatix_*.deb
(cd build-release && cpack -G DEB)
ls build-release/mercatix_*.deb
