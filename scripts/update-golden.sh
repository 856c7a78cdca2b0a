#!/usr/bin/env bash
# Redraws the committed pictures the scene's tests compare with, after a
# deliberate change of the art or the drawing: frames 1, 2, 100 and 1216 of
# the scene with the settings kept beside them.
set -euo pipefail
render=${1:-build/release/tools/render/brisvane-render}
golden=tests/scene/golden
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/brisvane"
cp "$golden/HKEY_CURRENT_USER.reg" "$home/brisvane/"
XDG_CONFIG_HOME=$home "$render" --frames 1216 --png "$home/frames" --at 1,2,100,1216
cp "$home"/frames/frame-*.png "$golden/"
echo "Redrew $(ls "$home"/frames | wc -l) pictures in $golden"
