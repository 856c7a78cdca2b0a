#!/usr/bin/env bash
# Starts the screensaver. Without a display it runs under a private Xvfb for a
# few seconds, writes a screenshot and ends the saver with Escape.
set -euo pipefail
bin=$1
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$bin" /s
fi
shot=${SCREENSHOT:-build/screenshot.png}
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 4 -screen 0 1280x1024x24 -nolisten tcp 4>"$fifo" &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -f "$fifo"' EXIT
read -r num <"$fifo"
export DISPLAY=":$num"
"$bin" /s &
saver=$!
sleep "${RUN_SECONDS:-4}"
mkdir -p "$(dirname "$shot")"
import -window root "$shot"
xdotool key Escape || true
for _ in $(seq 50); do kill -0 $saver 2>/dev/null || break; sleep 0.1; done
kill $saver 2>/dev/null || true
wait $saver 2>/dev/null || true
echo "No display: ran under Xvfb on $DISPLAY; screenshot written to $shot"
