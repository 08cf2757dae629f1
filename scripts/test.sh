#!/usr/bin/env bash
# Builds Tavisto and runs every test: the whole suite, then the core again under
# AddressSanitizer and UBSan, then the fuzz targets over their corpora.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

JOBS=$(nproc)
export QT_QPA_PLATFORM=offscreen
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

echo "== the tree is clang-formatted =="
if ! git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror; then
  echo "not formatted: run cmake --build build --target format" >&2
  exit 1
fi

echo "== build and test =="
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVISTO_GUI=ON -DTAVISTO_WERROR=ON >/dev/null
cmake --build build -j"$JOBS"
(cd build && ctest --output-on-failure -j"$JOBS")

echo "== core under AddressSanitizer and UBSan =="
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTAVISTO_SANITIZE=ON -DTAVISTO_GUI=OFF \
  -DTAVISTO_BENCH=OFF -DTAVISTO_WERROR=ON >/dev/null
cmake --build build-asan -j"$JOBS" --target core_tests archive_tests tavisto-convert
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure -j"$JOBS")

echo "== the timer and the reader's logic under ThreadSanitizer =="
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DTAVISTO_TSAN=ON -DTAVISTO_GUI=OFF \
  -DTAVISTO_BENCH=OFF -DTAVISTO_WERROR=ON >/dev/null
cmake --build build-tsan -j"$JOBS" --target timer_tests core_tests
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
(cd build-tsan && ctest --output-on-failure -j"$JOBS" -R 'ThreadedTimer|ReaderLogicTest|AsideThread|SyncBehind|PipelineTest')

echo "== fuzz targets over their corpora and saved findings =="
bash fuzz/run-corpus.sh
