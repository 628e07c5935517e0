#!/usr/bin/env bash
# Runs every fuzzer of a fuzz build for a set time, from the generated seeds.
#   fuzz/run.sh BUILD_DIR SECONDS [TARGET ...]
# Each starts from the minimised corpus kept in fuzz/corpus/<target> and the
# seeds (made in code and cut from the built data in BUILD_DIR/data), with
# the dictionaries of its formats (fuzz/dict). The growing corpus stays in
# BUILD_DIR/fuzz/corpus/<target>; crashes land in
# BUILD_DIR/fuzz/findings/<target>/ and make the script fail.
# FUZZ_SEEDS_READY=1: the seeds are already written (the suite's short runs).
set -uo pipefail
build=${1:?build folder}
seconds=${2:-60}
shift 2 || true
bin="$build/fuzz"
if [ "${FUZZ_SEEDS_READY:-0}" != 1 ]; then
  "$bin/quellbore-fuzz-seeds" "$bin/seeds" "$build/data" >/dev/null || exit 1
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$bin"/fuzz_*; do targets+=("${f##*/fuzz_}"); done
fi
here=$(cd "$(dirname "$0")/.." && pwd)
# The dictionaries of the formats each harness reads.
dicts_of() {
  case "$1" in
    png) echo png ;;
    jpeg) echo jpeg ;;
    bmp) echo bmp ;;
    bgra) echo bgra ;;
    tga) echo tga ;;
    dds) echo dds ;;
    image) echo png jpeg bmp bgra tga dds ;;
    wave|waveconvert) echo wave ;;
    sound|soundload) echo wave ogg ;;
    archive|packreader|decompress) echo archive ;;
    stage|stagestream|save) echo stage ;;
  esac
}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/tests/lsan.supp:print_suppressions=0}
failed=()
for t in "${targets[@]}"; do
  mkdir -p "$bin/corpus/$t" "$bin/findings/$t"
  printf '%-12s %ss ... ' "$t" "$seconds"
  log="$bin/findings/$t/last-run.log"
  dict="$bin/dict-$t.dict"
  : >"$dict"
  for d in $(dicts_of "$t"); do cat "$here/fuzz/dict/$d.dict" >>"$dict"; done
  flags=()
  [ -s "$dict" ] && flags+=(-dict="$dict")
  kept=()  # read, never written: the first folder takes the new inputs
  [ -d "$here/fuzz/corpus/$t" ] && kept+=("$here/fuzz/corpus/$t")
  if "$bin/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
       -artifact_prefix="$bin/findings/$t/" "${flags[@]}" "$bin/corpus/$t" "$bin/seeds/$t" "${kept[@]}" \
       >"$log" 2>&1; then
    echo "ok ($(grep -o 'cov: [0-9]*' "$log" | tail -1), $(grep -o 'exec/s: [0-9]*' "$log" | tail -1), $(ls "$bin/corpus/$t" | wc -l) inputs)"
  else
    echo "FAILED: see $log"
    failed+=("$t")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzers with findings: ${failed[*]}"
  exit 1
fi
