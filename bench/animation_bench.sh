#!/usr/bin/env bash
# An animation as quarn-render makes it: FRAMES frames (120) of 640 x 360 at density 30, a
# turning loop of a seeded set, encoded as H.264 on every core. Prints the total time, the
# encoding's share of it (the renderer's own figures, --stats) and the peak memory (GNU time's
# maximum resident set). MODE=frames writes numbered PNG pictures instead, and
# MODE=processes shares those among two processes of mpirun with one thread each (a build with
# -DQUARN_MPI=ON), to compare one frame at a time on all threads with two frames at once.
#
#   bench/animation_bench.sh QUARN_RENDER [FRAMES]
set -euo pipefail
render=$1
frames=${2:-120}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
args=(--seed 1234 --maps ifs01 --rotate ifs01 --size 640x360 --density 30 --loop
  --frames "$frames" --quiet --stats)
case "${MODE:-video}" in
  video) command=("$render" "${args[@]}" --threads 0 --out "$work/film.mp4") ;;
  frames) command=("$render" "${args[@]}" --threads 0 --out "$work/f%05d.png") ;;
  processes)
    export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1
    command=(mpirun --oversubscribe -np 2 "$render" "${args[@]}" --threads 1
      --out "$work/f%05d.png") ;;
  *) echo "MODE is video, frames or processes" >&2; exit 2 ;;
esac
/usr/bin/time -f '%M' -o "$work/peak" "${command[@]}" >"$work/stats"
/usr/bin/python3 - "$work/stats" "$work/peak" "${MODE:-video}" "$frames" <<'PY'
import json, sys
stats = json.loads(open(sys.argv[1]).read().splitlines()[-1])
peak = int(open(sys.argv[2]).read().split()[-1])
seconds, encoding = stats["seconds"], stats["encode_seconds"]
print(f"{sys.argv[3]}: {sys.argv[4]} frames of 640x360 at density 30 in {seconds:.1f} s "
      f"({seconds / int(sys.argv[4]):.3f} s a frame), encoding {encoding:.2f} s "
      f"= {100 * encoding / seconds:.1f} % of the total, peak memory {peak / 1024:.0f} MiB")
PY
