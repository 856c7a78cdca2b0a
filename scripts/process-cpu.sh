#!/usr/bin/env bash
# Whole-process CPU and peak resident memory of a long-running X program, under
# a private Xvfb of a given size; with --vs, of two programs in turn in one call
# (A B A B ...), so their ratio is read off one run on the same machine state.
#
#   scripts/process-cpu.sh [--size WxH] [--seconds N] [--warmup S] [--runs R]
#                          -- COMMAND [ARG ...] [--vs COMMAND [ARG ...]]
#
# Each run starts the command, lets it settle for the warm-up, then reads its
# user + system time from /proc over N seconds: "cpu" is per cent of one core.
# "peak" is the process's peak resident memory (VmHWM) at the end of the run,
# "server" the X server's CPU over the same seconds. The command then gets
# SIGTERM. Medians are printed at the end; the ratio A/B is taken run by run.
set -euo pipefail

size=1024x768
seconds=10
warmup=2
runs=1
usage() {
  sed -n '6,7p' "$0" | sed 's/^# //' >&2
  exit 2
}
while [ $# -gt 0 ]; do
  case $1 in
    --size) size=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --warmup) warmup=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --) shift; break ;;
    *) usage ;;
  esac
done
[[ $size =~ ^[0-9]+x[0-9]+$ ]] || usage
[[ $runs =~ ^[1-9][0-9]*$ ]] || usage
a=()
b=()
while [ $# -gt 0 ] && [ "$1" != --vs ]; do a+=("$1"); shift; done
if [ $# -gt 0 ]; then shift; b=("$@"); fi
[ ${#a[@]} -gt 0 ] || usage

tick=$(getconf CLK_TCK)
# utime + stime of a process, in clock ticks (the name field may hold spaces).
ticks() { sed 's/.*) //' "/proc/$1/stat" | awk '{print $12 + $13}'; }

fdfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$fdfile" 2>/dev/null &
xvfb=$!
cleanup() {
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  rm -f "$fdfile"
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.05; done
[ -s "$fdfile" ] || { echo "Xvfb did not start" >&2; exit 1; }
DISPLAY=":$(head -n1 "$fdfile")"
export DISPLAY
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}

# One run of a command: prints "cpu peak server" or fails.
measure() {
  "$@" >/dev/null 2>&1 &
  local pid=$!
  sleep "$warmup"
  if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid" 2>/dev/null || true
    echo "the command ended during the warm-up: $*" >&2
    return 1
  fi
  local t0 x0 s0 t1 x1 s1 peak
  t0=$(ticks "$pid"); x0=$(ticks "$xvfb"); s0=$(date +%s.%N)
  sleep "$seconds"
  t1=$(ticks "$pid"); x1=$(ticks "$xvfb"); s1=$(date +%s.%N)
  peak=$(awk '/^VmHWM:/{print $2}' "/proc/$pid/status")
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  awk -v t="$((t1 - t0))" -v x="$((x1 - x0))" -v s0="$s0" -v s1="$s1" -v hz="$tick" -v kb="$peak" \
    'BEGIN { w = s1 - s0; printf "%.2f %.1f %.2f\n", 100 * t / hz / w, kb / 1024, 100 * x / hz / w }'
}

median() { sort -g | awk '{v[NR] = $1} END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "screen ${size}, ${seconds} s a run after ${warmup} s, ${runs} run(s)"
results=$(mktemp)
for r in $(seq "$runs"); do
  out=$(measure "${a[@]}") || exit 1
  read -r cpu peak server <<<"$out"
  printf 'run %d  A  cpu %6.2f %%  peak %6.1f MB  server %6.2f %%\n' "$r" "$cpu" "$peak" "$server"
  line="$cpu $peak $server"
  if [ ${#b[@]} -gt 0 ]; then
    out=$(measure "${b[@]}") || exit 1
    read -r bcpu bpeak bserver <<<"$out"
    printf 'run %d  B  cpu %6.2f %%  peak %6.1f MB  server %6.2f %%\n' "$r" "$bcpu" "$bpeak" "$bserver"
    line="$line $bcpu $bpeak $bserver"
  fi
  echo "$line" >>"$results"
done
summary() {  # label, first column
  local c=$2
  printf '%s: median cpu %.2f %% of a core, peak %.1f MB, server %.2f %%\n' "$1" \
    "$(awk -v c="$c" '{print $c}' "$results" | median)" \
    "$(awk -v c="$((c + 1))" '{print $c}' "$results" | median)" \
    "$(awk -v c="$((c + 2))" '{print $c}' "$results" | median)"
}
summary "A (${a[*]})" 1
if [ ${#b[@]} -gt 0 ]; then
  summary "B (${b[*]})" 4
  printf 'A/B: median cpu ratio %.2f\n' "$(awk '$4 > 0 {print $1 / $4}' "$results" | median)"
fi
rm -f "$results"
