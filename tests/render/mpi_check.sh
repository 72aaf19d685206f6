#!/usr/bin/env bash
# quarn-render under real mpirun: every layout of processes and threads gives the picture of one
# process, a checkpointed render goes on under mpirun and merges without it, and a process that
# dies ends the job with an error and no picture.
set -euo pipefail
render=$1
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder"
# mpirun refuses to start as root unless told; CI runs as root.
export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1
mpi() { mpirun --oversubscribe -np "$1" "${@:2}"; }
set_args=(--seed 5150 --size 240x180 --density 40 --maps ifs01,at01 --rotate ifs01
  --tick-every 5000 --orbits 6 --quiet)

"$render" "${set_args[@]}" --threads 2 --out one.png --write-params one.json
for layout in "2 1" "2 2" "3 1"; do
  read -r ranks threads <<<"$layout"
  mpi "$ranks" "$render" "${set_args[@]}" --threads "$threads" --out "mpi-$ranks.png" \
    --write-params "mpi-$ranks.json"
  cmp one.png "mpi-$ranks.png"
  cmp one.json "mpi-$ranks.json"
done

# Each process keeps a checkpoint of its own; they go on under mpirun, or merge without it.
mpi 2 "$render" "${set_args[@]}" --density 20 --checkpoint part.qstate
mpi 2 "$render" --resume part.qstate --density 40 --out resumed.png --quiet
cmp one.png resumed.png
"$render" --resume part.qstate.0of2 --density 40 --state-out more.0of2 --quiet
"$render" --resume part.qstate.1of2 --density 40 --state-out more.1of2 --quiet
"$render" --merge more.0of2 more.1of2 --out merged.png --quiet
cmp one.png merged.png

# A set drawn from the clock is drawn once, by rank 0, for all.
mpi 2 "$render" --size 120x90 --density 10 --orbits 4 --quiet --out drawn.png --write-params drawn.json
clock=$(/usr/bin/python3 -c 'import json,sys; print(json.load(open("drawn.json"))["clock"])')
"$render" --params drawn.json --orbits 4 --threads 2 --quiet --out again.png
cmp drawn.png again.png

# An animation's numbered frames shared among the processes are those of one process, and a
# second run under mpirun finds them all done.
anim_args=(--seed 1234 --size 96x72 --density 5 --rotate ifs01 --loop --frames 5 --quiet)
mkdir anim-one anim-mpi
"$render" "${anim_args[@]}" --threads 2 --out anim-one/f%02d.png
mpi 2 "$render" "${anim_args[@]}" --out anim-mpi/f%02d.png
for frame in 00 01 02 03 04; do cmp "anim-one/f$frame.png" "anim-mpi/f$frame.png"; done
mpi 2 "$render" "${anim_args[@]}" --out anim-mpi/f%02d.png --stats | grep -q '"rendered":0,'

# The second process is killed mid-run: mpirun ends the job with an error, no picture written.
if mpi 2 sh -c 'if [ "${OMPI_COMM_WORLD_RANK:-0}" = 1 ]; then (sleep 0.5; kill -9 $$) & fi
                exec "$0" "$@"' "$render" "${set_args[@]}" --density 4000 --out dead.png \
                >dead.log 2>&1; then
  echo "a job with a killed process succeeded"; exit 1
fi
test ! -e dead.png
echo "mpi_check: layouts, resume, merge, animation frames and a killed process as expected" \
  "(clock $clock)"
