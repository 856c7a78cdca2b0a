#!/usr/bin/env bash
# Redraws docs/dialog-configuration.png, dialog-weather.png, dialog-news.png
# and dialog-proxy.png: the configuration dialog under a private Xvfb without
# core fonts, loaded from a sample settings key whose proxy is a local feed
# server with a sample feed and directory.
# Usage: scripts/dialog-screenshots.sh BUILD_DIR [OUTDIR]
set -euo pipefail
build=$1
out=${2:-docs}
tool=$build/tools/dialogshot/brisvane-dialogshot
home=$(mktemp -d)
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 4 -screen 0 1024x768x24 -nolisten tcp -fp built-ins 4>"$fifo" 2>/dev/null &
xvfb=$!
server=
trap 'kill $xvfb $server 2>/dev/null || true; rm -rf "$fifo" "$home"' EXIT
read -r num <"$fifo"
samples=$(dirname "$0")/../tools/dialogshot
python3 "$(dirname "$0")"/../tools/feedserver/brisvane-feedserver --quiet --port-file "$home/port" \
  --feed /news="$samples/world-news.rss" --directory "$samples/directory.json" >/dev/null &
server=$!
for _ in $(seq 100); do [ -s "$home/port" ] && break; sleep 0.1; done
port=$(cat "$home/port")
mkdir -p "$home/brisvane" "$out"
cat >"$home/brisvane/HKEY_CURRENT_USER.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\SOFTWARE\Tarrowind Software\Brisvane Screensaver]
"Brightness"=dword:000000c8
"SoundVolume"=dword:000000a0
"TDegree"="c"
"WeatherCode"="20001"
"RSS_Url"="http://news.google.com/news?ned=us&topic=w&output=rss"
"ShowTime"=dword:00000001
"ShowWeather"=dword:00000001
"ShowNews"=dword:00000000
"ShowBlack"=dword:00000000
"UseProxy"=dword:00000001
"Proxy"="127.0.0.1"
"Port"="$port"
REG
DISPLAY=":$num" XDG_CONFIG_HOME="$home" "$tool" "$out"
