#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVISTO_FUZZ=ON \
  -DTAVISTO_GUI=OFF -DTAVISTO_TESTS=OFF -DTAVISTO_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzz_bookfile fuzz_bookload fuzz_config fuzz_charsets \
  fuzz_placeholders fuzz_convert fuzz_fb2 fuzz_zipdir fuzz_stream
