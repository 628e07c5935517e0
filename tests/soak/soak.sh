#!/usr/bin/env bash
# The long soak (make soak): FRAMES frames of random input over a copy of
# the built data, then one leg per boss: its clear script into the ending
# and the credits, and random input on from there (random keys never beat
# a boss). Fails on a crash, on blocks left in the memory report, on
# anonymous resident memory (the heap) growing after the first stage
# started, or when a scene never came round. File-backed pages (the font
# file's glyphs as new characters are drawn) are reported, not judged.
#   tests/soak/soak.sh BUILD_DIR [FRAMES] [SEED]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?build folder}" && pwd)
frames=${2:-1000000}
seed=${3:-1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
scenes="$work/scenes.txt"
: > "$scenes"

# leg NAME FRAMES [quellbore-sim options...]
leg() {
  local name=$1 count=$2
  shift 2
  local dir="$work/$name"
  mkdir -p "$dir"
  cp -r "$build/data" "$dir/data"
  if [ -n "${SAVE:-}" ]; then printf '%s \0' "$SAVE" > "$dir/data/state0.dat"; fi
  echo "soak $name: $count frames, seed $seed"
  local start code=0
  start=$(date +%s)
  "$build/quellbore-sim" --dir "$dir" --frames "$count" --random-input "$seed" \
    --memory-log "$dir/memory.txt" "$@" || code=$?
  echo "soak $name: exit $code after $(( $(date +%s) - start )) s"
  [ "$code" -eq 0 ] || exit 1
  local left
  left=$(grep -a -A1000 "Alloc memory dump" "$dir/Log.txt" | grep -a -o "Total size:[0-9]*" | tail -1 | cut -d: -f2)
  echo "soak $name: memory report: ${left:-missing} bytes held at exit"
  [ "${left:-x}" = "0" ] || exit 1
  awk -v name="$name" 'BEGIN { started = 0 }
       { print $2 >> "'"$scenes"'" }
       $2 == 5 && !started { started = 1; next }
       started == 1 { base = $4; most = $4; started = 2; next }
       started == 2 && $4 > most { most = $4 }
       { file = $5 }
       END {
         if (started < 2) { print "soak " name ": gameplay never started"; exit 1 }
         printf "soak %s: anonymous resident %d KiB after the first stage began, at most %d KiB (+%d); file-backed %d KiB at the end\n", name, base, most, most - base, file
         if (most - base > 512) exit 1
       }' "$dir/memory.txt"
}

# frames a clear script runs for ("# frames N" in it)
script_frames() {
  [ -f "$1" ] || { echo "soak: no clear script $1" >&2; exit 1; }
  grep -o "# frames [0-9]*" "$1" | head -1 | cut -d' ' -f3
}

leg random "$frames"
s="$root/assets/stages/stageexboss.input"
n=$(script_frames "$s")
leg extraboss $(( n + 20000 )) --input "$s" --arg 10
s="$root/assets/stages/stageboss.input"
n=$(script_frames "$s")
SAVE=29 leg lastboss $(( n + 20000 )) --input "$s"

seen=$(sort -un "$scenes" | tr '\n' ' ')
echo "soak: scenes seen: $seen"
for scene in 3 4 5 8 10 11 12 13 14; do
  grep -qx "$scene" "$scenes" || { echo "soak: scene $scene never came round"; exit 1; }
done
