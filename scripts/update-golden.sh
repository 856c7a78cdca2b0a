#!/usr/bin/env bash
# Redraws the committed pictures the scene's tests compare with, after a
# deliberate change of the art or the drawing: frames 1, 2, 100 and 1216 of
# the scene with the settings kept beside them, and the gadget strips listed
# in gadgets.txt.
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

# name | LC_ALL | ShowTime ShowWeather ShowNews ShowBlack | arguments
grep -v '^#' "$golden/gadgets.txt" | while IFS='|' read -r name locale switches args; do
  name=$(echo $name) locale=$(echo $locale)
  read -r time weather news black <<<"$switches"
  reg=$home/brisvane/HKEY_CURRENT_USER.reg
  sed -e "s/\"ShowTime\"=dword:0000000./\"ShowTime\"=dword:0000000$time/" \
      -e "s/\"ShowWeather\"=dword:0000000./\"ShowWeather\"=dword:0000000$weather/" \
      -e "s/\"ShowNews\"=dword:0000000./\"ShowNews\"=dword:0000000$news/" \
      -e "s/\"ShowBlack\"=dword:0000000./\"ShowBlack\"=dword:0000000$black/" \
      "$golden/HKEY_CURRENT_USER.reg" >"$reg"
  rm -rf "$home/gadgets"
  eval "XDG_CONFIG_HOME=\"$home\" LC_ALL=\"$locale\" \"$render\" $args --png \"$home/gadgets\""
  convert "$home"/gadgets/frame-*.png -crop 1024x78+0+690 +repage "$golden/$name.png"
  echo "Redrew $golden/$name.png"
done
