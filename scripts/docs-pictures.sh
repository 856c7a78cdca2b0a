#!/usr/bin/env bash
# Redraws the README's pictures of the running scene with brisvane-render,
# from the settings kept with the test pictures (defaults: no gadgets).
set -euo pipefail
render=${1:-build/release/tools/render/brisvane-render}
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/brisvane"
cp tests/scene/golden/HKEY_CURRENT_USER.reg "$home/brisvane/"
# Frame 2130: all three butterflies and both larger birds in view.
XDG_CONFIG_HOME=$home "$render" --frames 2130 --png "$home/scene"
cp "$home/scene/frame-2130.png" docs/scene.png
echo "Redrew docs/scene.png"
