#!/usr/bin/env bash
# Whole-process CPU of the saver in run mode under a private Xvfb, against the
# presenting floor (a program that only presents a frame 25 times a second),
# measured alternately in one run: ROUNDS rounds of SECONDS seconds each, after
# a few seconds of warming up. Prints each measurement and the medians.
#   scripts/cpu-bench.sh [build dir] (a Release build with BRISVANE_BENCH=ON)
set -euo pipefail
build=${1:-build/bench}
seconds=${SECONDS_PER_RUN:-30}
rounds=${ROUNDS:-3}
size=${SCREEN:-1024x768}
saver=$build/shell/brisvane
floor=$build/bench/floor/brisvane-present-floor
work=$(mktemp -d)
fifo=$work/displayfd
mkfifo "$fifo"
Xvfb -displayfd 4 -screen 0 "${size}x24" -nolisten tcp 4>"$fifo" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
read -r num <"$fifo"
export DISPLAY=":$num" SDL_AUDIODRIVER=dummy

# Settings as the saver's file holds them: the defaults with the gadget switches.
settings() {
  mkdir -p "$work/$1/brisvane"
  cat >"$work/$1/brisvane/HKEY_CURRENT_USER.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\SOFTWARE\\Tarrowind Software\\Brisvane Screensaver]
"Brightness"=dword:00000100
"SoundVolume"=dword:000000c8
"TDegree"="f"
"WeatherCode"="20001"
"RSS_Url"="http://127.0.0.1:9/rss"
"ShowTime"=dword:0000000$2
"ShowWeather"=dword:0000000$2
"ShowNews"=dword:0000000$2
"ShowBlack"=dword:00000000
"UseProxy"=dword:00000000
"Proxy"=""
"Port"=""
REG
}
settings gadgets 1
settings lake 0

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# CPU of one program over the measuring time, in per cent of one core.
measure() {
  local home=$1
  shift
  XDG_CONFIG_HOME=$work/$home "$@" >/dev/null 2>&1 &
  local pid=$!
  sleep 3
  local before after
  before=$(ticks $pid)
  sleep "$seconds"
  after=$(ticks $pid)
  kill $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true
  awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" -v s="$seconds" 'BEGIN {printf "%.2f", 100 * t / hz / s}'
}

median() { tr ' ' '\n' | sort -g | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

floors="" gadgets="" lakes=""
for round in $(seq "$rounds"); do
  f=$(measure lake "$floor")
  g=$(measure gadgets "$saver" /s)
  l=$(measure lake "$saver" /s)
  echo "round $round at $size: floor $f %, saver with all gadgets $g %, saver without gadgets $l %"
  floors="$floors $f" gadgets="$gadgets $g" lakes="$lakes $l"
done
mf=$(echo $floors | median) mg=$(echo $gadgets | median) ml=$(echo $lakes | median)
awk -v f="$mf" -v g="$mg" -v l="$ml" -v size="$size" 'BEGIN {
  printf "medians at %s: floor %.2f %%, all gadgets %.2f %% (%.2fx the floor), no gadgets %.2f %% (%.2fx the floor)\n",
         size, f, g, g / f, l, l / f }'
