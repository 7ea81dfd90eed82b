#!/usr/bin/env bash
# qvrender batch as a Slurm cluster runs it: a single-node cluster of Debian's slurm-wlm and munge
# on this machine (127.0.0.1 only; configuration, state and logs in a temporary folder; the daemons
# started here as root and stopped by their process ids at the end, whatever happens), two job
# arrays of examples/batch/render-array.sh over a table of 40 rows (--array=0-3, and --array=1-9:2:
# first index 1, step 2), and then: every task ran, every row was rendered exactly once, and each
# page equals `qvrender render` with the row's values.
#
# usage: scripts/test-cluster.sh [BUILD_DIR]     (default build; qvrender must be built)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(cd "${1:-build}" && pwd)
qvrender=$build/src/app/qvrender

say() { echo "== test-cluster: $*"; }
fail() { echo "test-cluster: FAILED: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "needs root (it starts munged, slurmctld and slurmd)"
[ -x "$qvrender" ] || fail "no $qvrender: build first"
for tool in munged mungekey slurmctld slurmd sbatch squeue sinfo scancel python3; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh installs slurm-wlm and munge)"
done

work=$(mktemp -d /tmp/qv-cluster.XXXXXX)
chmod 755 "$work"
munged_pid="" slurmctld_pid="" slurmd_pid="" jobs=""
export SLURM_CONF=$work/slurm.conf

stop() {
  local status=$?
  set +e
  if [ -n "$slurmctld_pid" ] && kill -0 "$slurmctld_pid" 2>/dev/null && [ -n "$jobs" ]; then
    # Jobs still running (a failure or a timeout) end before their daemons do.
    scancel $jobs 2>/dev/null
    for _ in $(seq 1 30); do [ -z "$(squeue -h -j "${jobs// /,}" 2>/dev/null)" ] && break; sleep 1; done
  fi
  for pid in $slurmd_pid $slurmctld_pid $munged_pid; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  if [ "$status" -ne 0 ]; then
    for log in slurmctld.log slurmd.log munged.log; do
      [ -f "$work/$log" ] && { echo "--- $log (end)"; tail -n 15 "$work/$log"; }
    done
  fi
  rm -rf "$work"
  exit "$status"
}
trap stop EXIT
trap 'exit 130' INT TERM

say "munge and a single-node Slurm cluster on 127.0.0.1 in $work"
mkdir -p "$work/munge" "$work/state" "$work/spool"
chmod 700 "$work/state" "$work/spool"
mungekey --create --keyfile="$work/munge/munge.key" --bits=1024
munged --foreground --force --socket="$work/munge/socket" --key-file="$work/munge/munge.key" \
  --pid-file="$work/munge/munged.pid" --seed-file="$work/munge/seed" --log-file="$work/munged.log" \
  >>"$work/munged.log" 2>&1 &
munged_pid=$!
for _ in $(seq 1 50); do [ -S "$work/munge/socket" ] && break; sleep 0.1; done
[ -S "$work/munge/socket" ] || fail "munged did not start"

# Two free ports on 127.0.0.1, for the controller and the node.
read -r ctld_port node_port < <(python3 -c '
import socket
s = [socket.socket() for _ in range(2)]
for x in s: x.bind(("127.0.0.1", 0))
print(*[x.getsockname()[1] for x in s])')
# The node offers 8 processors whatever the machine has (config_overrides), so that two tasks of
# the script's --cpus-per-task=4 run at once.
cat > "$SLURM_CONF" <<CONF
ClusterName=qvtest
SlurmctldHost=localhost(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$node_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$work/munge/socket
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MpiDefault=none
SwitchType=switch/none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
SlurmdParameters=config_overrides
NodeName=qvnode NodeHostname=localhost NodeAddr=127.0.0.1 CPUs=8 RealMemory=1000 State=UNKNOWN
PartitionName=qv Nodes=qvnode Default=YES MaxTime=INFINITE State=UP
CONF
slurmctld -D -f "$SLURM_CONF" >>"$work/slurmctld.out" 2>&1 &
slurmctld_pid=$!
slurmd -D -f "$SLURM_CONF" -N qvnode >>"$work/slurmd.out" 2>&1 &
slurmd_pid=$!
for _ in $(seq 1 60); do
  [ "$(sinfo -h -n qvnode -o %t 2>/dev/null)" = idle ] && break
  sleep 0.5
done
[ "$(sinfo -h -n qvnode -o %t 2>/dev/null)" = idle ] || fail "the node did not come up"

say "a table of 40 rows, and each row's page from qvrender render"
table=$work/table.csv
echo "name,Meta1" > "$table"
mkdir -p "$work/expected"
for i in $(seq -w 1 40); do
  # Every fourth headline has a comma and quotes, as newsroom exports do.
  headline="Headline $i"
  [ $((10#$i % 4)) -eq 0 ] && headline="Guest $i, \"live\" from Lund"
  printf 'row-%s,"%s"\n' "$i" "${headline//\"/\"\"}" >> "$table"
  printf 'row-%s\t%s\n' "$i" "$headline"
done > "$work/rows.tsv"
template=$root/examples/news/news.QV
while IFS=$'\t' read -r name headline; do
  printf '%s\0%s\0' "$name" "$headline"
done < "$work/rows.tsv" | xargs -0 -n 2 -P 2 sh -c \
  '"$0" render "$1" -o "$2/$3.png" --frame 30 --time 18:00:00 --meta1 "$4"' \
  "$qvrender" "$template" "$work/expected" 2>&1 | { ! grep . ; } || fail "qvrender render failed"
[ "$(ls "$work/expected" | wc -l)" -eq 40 ] || fail "the reference pages were not all written"

# QVRENDER (the script's knob) runs qvrender in a folder of the task's own, so that a row rendered
# twice shows as two files.
cat > "$work/qvrender-in-task-folder" <<'SH'
#!/bin/sh
dir="$QV_RUN/task-$SLURM_ARRAY_TASK_ID"
mkdir -p "$dir" && cd "$dir" || exit 1
echo "job $SLURM_ARRAY_JOB_ID task $SLURM_ARRAY_TASK_ID on $SLURMD_NODENAME: $*" > task.txt
exec "$QV_QVRENDER" "$@"
SH
chmod 755 "$work/qvrender-in-task-folder"

say "sbatch --array=0-3 and --array=1-9:2 examples/batch/render-array.sh"
submit() {  # submit ARRAY RUN: answers the job id
  QV_RUN=$work/$2 QV_QVRENDER=$qvrender QVRENDER=$work/qvrender-in-task-folder \
    sbatch --parsable --array="$1" --chdir="$work" --output="$work/$2-%a.out" \
    "$root/examples/batch/render-array.sh" "$template" "$table" 'pages/{name}.png' --frame 30 --time 18:00:00
}
first=$(submit 0-3 array-0-3)
second=$(submit 1-9:2 array-1-9-2)
jobs="$first $second"
for _ in $(seq 1 300); do
  [ -z "$(squeue -h -j "$first,$second")" ] && break
  sleep 1
done
[ -z "$(squeue -h -j "$first,$second")" ] || fail "the jobs did not end within 300 s"
jobs=""

check() {  # check RUN TASKS...: every task ran and ended well, each row once, each page as render's
  local run=$work/$1 task
  shift
  for task in "$@"; do
    [ -f "$run/task-$task/task.txt" ] || fail "$1: task $task did not run"
    grep -q "ExitCode=0:0" <(scontrol -o show job "$(cut -d' ' -f2 "$run/task-$task/task.txt")_$task" 2>/dev/null) ||
      { cat "$work/$(basename "$run")-$task.out"; fail "$(basename "$run"): task $task failed"; }
  done
  local written
  written=$(cd "$run" && ls task-*/pages/ | grep '\.png$' | sort)
  [ "$(echo "$written" | uniq -d)" = "" ] || fail "$(basename "$run"): rows rendered twice: $(echo "$written" | uniq -d)"
  [ "$written" = "$(ls "$work/expected" | sort)" ] || fail "$(basename "$run"): not every row was rendered"
  local page
  for page in "$run"/task-*/pages/*.png; do
    cmp -s "$page" "$work/expected/$(basename "$page")" || fail "$page differs from qvrender render's"
  done
  echo "$(basename "$run"): $# tasks, rows per task: $(for t in "$@"; do ls "$run/task-$t/pages" | wc -l; done | tr '\n' ' ')"
}
check array-0-3 0 1 2 3
check array-1-9-2 1 3 5 7 9
say "passed: each array rendered the 40 rows once, each page equal to qvrender render's"
