#!/usr/bin/env bash
# Two quarn-render builds side by side in one run: each configuration renders with the first,
# then with the second, and the pictures must be the same bytes. Prints steps per second (the
# renderer's own figure) and peak memory (GNU time's maximum resident set) for both.
#
#   bench/render_side_by_side.sh BASELINE_QUARN_RENDER NEW_QUARN_RENDER [ROUNDS]
#
# BENCH_SET=orbits measures 16 orbits on 1, 2 and 8 threads instead: their speed, and their
# memory, which per-thread counters multiply.
set -euo pipefail
baseline=$1
candidate=$2
rounds=${3:-1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ "${BENCH_SET:-}" = orbits ]; then
  configurations=(
    "1 thread 4096x3072|--size 4096x3072 --density 30 --orbits 16 --threads 1"
    "2 threads 4096x3072|--size 4096x3072 --density 30 --orbits 16 --threads 2"
    "8 threads 4096x3072|--size 4096x3072 --density 30 --orbits 16 --threads 8"
    "1 thread 8192x8192|--size 8192x8192 --density 4 --orbits 16 --threads 1"
    "2 threads 8192x8192|--size 8192x8192 --density 4 --orbits 16 --threads 2"
    "8 threads 8192x8192|--size 8192x8192 --density 4 --orbits 16 --threads 8"
  )
else configurations=(
  "1 thread 400x300|--size 400x300 --density 30 --threads 1"
  "1 thread 1024x768|--size 1024x768 --density 30 --threads 1"
  "1 thread 4096x3072|--size 4096x3072 --density 30 --threads 1"
  "2 threads 4096x3072|--size 4096x3072 --density 30 --threads 2"
  "2 threads 8192x8192|--size 8192x8192 --density 30 --threads 2"
)
fi

# Prints "steps/s peak-KiB" for one render into $work/$2.bmp.
render() {
  local binary=$1 name=$2
  shift 2
  local rate
  rate=$(/usr/bin/time -f '%M' -o "$work/rss" "$binary" --seed 4321 --quiet --stats "$@" \
    --out "$work/$name.bmp" | sed -n 's/.*"steps_per_second":\([0-9]*\).*/\1/p')
  echo "$rate $(cat "$work/rss")"
}

printf '%-22s %14s %14s %7s %12s %12s\n' configuration "baseline M/s" "new M/s" ratio \
  "baseline MiB" "new MiB"
for entry in "${configurations[@]}"; do
  name=${entry%%|*}
  read -r -a args <<<"${entry#*|}"
  for ((round = 1; round <= rounds; round++)); do
    read -r old_rate old_rss < <(render "$baseline" old "${args[@]}")
    read -r new_rate new_rss < <(render "$candidate" new "${args[@]}")
    same=same
    cmp -s "$work/old.bmp" "$work/new.bmp" || same=DIFFERENT
    awk -v n="$name" -v o="$old_rate" -v c="$new_rate" -v om="$old_rss" -v cm="$new_rss" \
      -v s="$same" 'BEGIN { printf "%-22s %14.2f %14.2f %7.3f %12.0f %12.0f  %s\n",
        n, o / 1e6, c / 1e6, c / o, om / 1024, cm / 1024, s }'
  done
done
