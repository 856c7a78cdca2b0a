#!/usr/bin/env bash
# Redraws docs/dialog-configuration.png and docs/dialog-proxy.png: the
# configuration dialog under a private Xvfb without core fonts, loaded from a
# sample settings key. Usage: scripts/dialog-screenshots.sh BUILD_DIR [OUTDIR]
set -euo pipefail
build=$1
out=${2:-docs}
tool=$build/tools/dialogshot/brisvane-dialogshot
home=$(mktemp -d)
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 4 -screen 0 1024x768x24 -nolisten tcp -fp built-ins 4>"$fifo" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$fifo" "$home"' EXIT
read -r num <"$fifo"
mkdir -p "$home/brisvane" "$out"
cat >"$home/brisvane/HKEY_CURRENT_USER.reg" <<'REG'
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
"Proxy"="proxy.example.net"
"Port"="3128"
REG
DISPLAY=":$num" XDG_CONFIG_HOME="$home" "$tool" "$out"
