#!/usr/bin/env bash
# Screenshot of the fixture page under Xvfb, kept as a test artefact.
# usage: fixture_screenshot.sh SHOT_EXE OUTPUT.png
set -euo pipefail
exe=$1
out=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
mkdir -p "$(dirname "$out")"
rm -f "$out"
# A display of its own, so that windows of other programs under test cannot cover ours.
export KORVANE_XVFB_DISPLAY=${KORVANE_UI_SHOT_DISPLAY:-93}
export DISPLAY=$("$root/scripts/xvfb-shared")
"$root/scripts/wine-run" "$exe" 12000 &
pid=$!
# The window sits at 20,20 and is 818 x 579. Wine may take a while to start: capture
# until the picture shows the page (a blank screen has a handful of colours), then
# once more a second later so that the pop-up menu is in it too.
colours=0
for _ in $(seq 25); do
    sleep 1
    import -display "$DISPLAY" -window root -crop 840x640+10+10 +repage "$out"
    colours=$(convert "$out" -format '%k' info:)
    [ "$colours" -gt 500 ] && break
done
sleep 1
import -display "$DISPLAY" -window root -crop 840x640+10+10 +repage "$out"
colours=$(convert "$out" -format '%k' info:)

wait "$pid" 2>/dev/null || true
echo "screenshot $out: $colours colours"
[ "$colours" -gt 500 ]
