#!/usr/bin/env bash
# Runs every fuzz target once over its seed corpus and its saved regressions, so
# that a crash once found and fixed stays fixed. Takes a few seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
bash fuzz/build.sh
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
passed=0
failed=0
for t in bookfile bookload config charsets placeholders convert fb2 zipdir stream; do
  dirs=(fuzz/corpus/$t)
  [ -d fuzz/regressions/$t ] && dirs+=(fuzz/regressions/$t)
  n=$(find "${dirs[@]}" -type f | wc -l)
  if build-fuzz/fuzz/fuzz_$t -runs=0 "${dirs[@]}" >/tmp/tavisto-fuzz-$t.log 2>&1; then
    echo "fuzz_$t: $n inputs ok"
    passed=$((passed + 1))
  else
    echo "fuzz_$t: FAILED (see below)"
    tail -40 /tmp/tavisto-fuzz-$t.log
    failed=$((failed + 1))
  fi
done
# The reader's own path, fuzzed for a while beyond its seeds (new inputs go
# to a folder of the run's own, never into the repository).
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seconds=${TAVISTO_FUZZ_SECONDS:-60}
if build-fuzz/fuzz/fuzz_bookload -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 \
  "$work" fuzz/corpus/bookload fuzz/regressions/bookload >/tmp/tavisto-fuzz-bookload-run.log 2>&1; then
  echo "fuzz_bookload: ${seconds} s of fuzzing ok"
  passed=$((passed + 1))
else
  echo "fuzz_bookload: FAILED while fuzzing (see below; the input is in the log)"
  tail -40 /tmp/tavisto-fuzz-bookload-run.log
  failed=$((failed + 1))
fi
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
