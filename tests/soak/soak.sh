#!/usr/bin/env bash
# The long soak (make soak): FRAMES frames of random input over a copy of
# the built data; fails on a crash, on blocks left in the memory report, or
# on resident memory growing after the first stage started.
#   tests/soak/soak.sh BUILD_DIR [FRAMES] [SEED]
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
frames=${2:-1000000}
seed=${3:-1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$build/data" "$work/data"
echo "soak: $frames frames, seed $seed"
start=$(date +%s)
code=0
"$build/quellbore-sim" --dir "$work" --frames "$frames" --random-input "$seed" \
  --memory-log "$work/memory.txt" || code=$?
echo "soak: exit $code after $(( $(date +%s) - start )) s"
[ "$code" -eq 0 ] || exit 1
left=$(grep -a -A1000 "Alloc memory dump" "$work/Log.txt" | grep -a -o "Total size:[0-9]*" | tail -1 | cut -d: -f2)
echo "soak: memory report: ${left:-missing} bytes held at exit"
[ "${left:-x}" = "0" ] || exit 1
awk 'BEGIN { started = 0 }
     $2 == 5 && !started { started = 1; next }
     started == 1 { base = $4; most = $4; started = 2; next }
     started == 2 && $4 > most { most = $4 }
     { seen[$2] = 1 }
     END {
       if (started < 2) { print "soak: gameplay never started"; exit 1 }
       printf "soak: resident %d KiB after the first stage began, at most %d KiB (+%d)\n", base, most, most - base
       s = ""; for (k in seen) s = s " " k; print "soak: scenes seen:" s
       if (most - base > 512) exit 1
     }' "$work/memory.txt"
