#!/usr/bin/env bash
# Fuzzes each target for a bounded time (seconds per target, default 60), two at
# a time. New inputs collect in fuzz/out/<target>/, findings in fuzz/out/crashes/.
# A finding, once fixed, belongs in fuzz/regressions/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
SECS=${1:-60}
bash fuzz/build.sh
mkdir -p fuzz/out/crashes
export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp
run() {
  local t=$1
  mkdir -p fuzz/out/$t
  build-fuzz/fuzz/fuzz_$t -max_total_time="$SECS" -max_len=65536 -rss_limit_mb=2048 \
    -timeout=10 -artifact_prefix=fuzz/out/crashes/$t- -print_final_stats=1 \
    fuzz/out/$t fuzz/corpus/$t >fuzz/out/$t.log 2>&1 || true
  echo "fuzz_$t: $(grep -E 'stat::number_of_executed_units' fuzz/out/$t.log | awk '{print $2}') runs in ${SECS}s"
}
targets=(bookfile bookload config charsets placeholders convert fb2 zipdir stream)
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  run "${targets[i]}" &
  [ -n "${targets[i+1]:-}" ] && run "${targets[i+1]}" &
  wait
done
ls fuzz/out/crashes
