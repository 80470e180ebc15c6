#!/usr/bin/env bash
# A single-node Slurm on this machine, for the cluster tests: munged,
# slurmctld and slurmd started without systemd, in a private folder, and
# stopped by their process ids.
#
#   bash scripts/slurm-local.sh start   # prints: export SLURM_CONF=...
#   bash scripts/slurm-local.sh stop
#
# SUNDREL_SLURM_DIR (default /tmp/sundrel-slurm) holds the configuration,
# the munge key and socket, state, logs and pid files; SUNDREL_SLURM_PORT
# (default 16817) is slurmctld's port, slurmd takes the next one. No cgroups
# are needed (proctrack/linuxproc, task/none), and finished jobs leave the
# controller after two seconds, so `sbatch --wait` returns promptly.
set -euo pipefail

dir="${SUNDREL_SLURM_DIR:-/tmp/sundrel-slurm}"
port="${SUNDREL_SLURM_PORT:-16817}"
timeout="${SUNDREL_SLURM_TIMEOUT:-60}"

pids() {
  for f in slurmd slurmctld munged; do
    [ -s "$dir/$f.pid" ] && echo "$f $(cat "$dir/$f.pid")"
  done
  return 0
}

stop() {
  pids | while read -r name pid; do
    if kill -0 "$pid" 2>/dev/null; then
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      kill -0 "$pid" 2>/dev/null && { echo "$name ($pid) did not stop: killed" >&2; kill -9 "$pid" 2>/dev/null || true; }
    fi
    rm -f "$dir/$name.pid"
  done
}

fail() {
  echo "slurm-local: $*" >&2
  for log in munged slurmctld slurmd; do
    [ -f "$dir/$log.log" ] && { echo "--- $log.log" >&2; tail -n 20 "$dir/$log.log" >&2; }
  done
  stop
  exit 1
}

start() {
  for program in munged slurmctld slurmd sinfo sbatch; do
    command -v "$program" >/dev/null || fail "$program is missing (bash scripts/setup.sh installs it)"
  done
  stop
  rm -rf "$dir"
  mkdir -p "$dir/munge" "$dir/state" "$dir/spool"
  # munged wants its socket folder 0711 and its key readable by itself only.
  chmod 0711 "$dir" "$dir/munge"
  dd if=/dev/urandom of="$dir/munge/munge.key" bs=1024 count=1 status=none
  chmod 0400 "$dir/munge/munge.key"
  # --force: munged refuses to run as root without it.
  munged --force --key-file="$dir/munge/munge.key" --socket="$dir/munge/munge.socket" \
    --pid-file="$dir/munged.pid" --log-file="$dir/munged.log" --seed-file="$dir/munge/seed" \
    || fail "munged did not start"

  local host cpus user
  host="$(hostname -s)"
  cpus="$(nproc)"
  user="$(id -un)"
  cat >"$dir/slurm.conf" <<CONF
ClusterName=sundrel
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=$user
SlurmdUser=$user
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$dir/munge/munge.socket
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/slurmctld.log
SlurmdLogFile=$dir/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
MpiDefault=none
ReturnToService=2
MinJobAge=2
SchedulerParameters=defer_batch=0
NodeName=$host NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN
PartitionName=local Nodes=ALL Default=YES MaxTime=INFINITE State=UP
CONF
  export SLURM_CONF="$dir/slurm.conf"
  slurmctld -i || fail "slurmctld did not start"
  slurmd || fail "slurmd did not start"
  local waited=0
  until [ "$(sinfo -h -o %T 2>/dev/null | head -n 1)" = "idle" ]; do
    [ "$waited" -ge "$((timeout * 10))" ] && fail "the node is not idle after ${timeout} s ($(sinfo -h -o %T 2>&1 | head -n 1))"
    sleep 0.1
    waited=$((waited + 1))
  done
  echo "export SLURM_CONF=$SLURM_CONF"
}

case "${1:-}" in
  start) start ;;
  stop) stop ;;
  *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac
