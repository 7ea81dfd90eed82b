#!/usr/bin/env bash
# One share of a qvrender batch per task of a Slurm job array:
#
#   sbatch --array=0-7 examples/batch/render-array.sh TEMPLATE.QV DATA.csv 'OUT/{name}.png' [batch options]
#
# Task k of the array renders rows k, k + N, k + 2N, ... of the table (N tasks), so the array
# covers every row once whatever its first index and step (--array=1-8, --array=0-21:3). Each task
# uses the cores Slurm gave it. QVRENDER names the program (default: qvrender on the PATH).
#SBATCH --job-name=qv-batch
#SBATCH --cpus-per-task=4
set -euo pipefail

if [ $# -lt 3 ]; then
  echo "usage: sbatch --array=0-N $0 TEMPLATE.QV DATA.csv OUTPUT-PATTERN [batch options]" >&2
  exit 2
fi
: "${SLURM_ARRAY_TASK_ID:?not a task of a job array}"
template=$1 data=$2 output=$3
shift 3

step=${SLURM_ARRAY_TASK_STEP:-1}
first=${SLURM_ARRAY_TASK_MIN:-0}
count=${SLURM_ARRAY_TASK_COUNT:?}
# Array indices run first, first + step, ...; shards run 0 .. count - 1.
shard=$(( (SLURM_ARRAY_TASK_ID - first) / step ))

exec "${QVRENDER:-qvrender}" batch "$template" "$data" -o "$output" \
  --jobs "${SLURM_CPUS_PER_TASK:-$(nproc)}" --shard "$shard/$count" "$@"
