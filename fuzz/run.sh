#!/usr/bin/env bash
# Runs every fuzzer of a fuzz build for a set time, from the generated seeds.
#   fuzz/run.sh BUILD_DIR SECONDS [TARGET ...]
# The growing corpus stays in BUILD_DIR/fuzz/corpus/<target>; crashes land in
# BUILD_DIR/fuzz/findings/<target>/ and make the script fail.
# FUZZ_SEEDS_READY=1: the seeds are already written (the suite's short runs).
set -uo pipefail
build=${1:?build folder}
seconds=${2:-60}
shift 2 || true
bin="$build/fuzz"
if [ "${FUZZ_SEEDS_READY:-0}" != 1 ]; then
  "$bin/quellbore-fuzz-seeds" "$bin/seeds" >/dev/null || exit 1
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$bin"/fuzz_*; do targets+=("${f##*/fuzz_}"); done
fi
here=$(cd "$(dirname "$0")/.." && pwd)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/tests/lsan.supp:print_suppressions=0}
failed=()
for t in "${targets[@]}"; do
  mkdir -p "$bin/corpus/$t" "$bin/findings/$t"
  printf '%-12s %ss ... ' "$t" "$seconds"
  log="$bin/findings/$t/last-run.log"
  if "$bin/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
       -artifact_prefix="$bin/findings/$t/" "$bin/corpus/$t" "$bin/seeds/$t" >"$log" 2>&1; then
    echo "ok ($(grep -o 'cov: [0-9]*' "$log" | tail -1), $(ls "$bin/corpus/$t" | wc -l) inputs)"
  else
    echo "FAILED: see $log"
    failed+=("$t")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzers with findings: ${failed[*]}"
  exit 1
fi
