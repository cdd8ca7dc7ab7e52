#!/usr/bin/env bash
# Both launcher windows with their shadows under a compositing display, captured from the screen:
#   shadow-screenshots.sh BUILD   (the run's Xvfb and wineserver started by the wine fixture)
# Saves BUILD/test-output/shadow-GameLoader.png and shadow-CustomMsgBox.png (each window with a margin of
# 24 pixels) and fails unless the pixels just outside each window are darker than the backdrop further out.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
display=$(cat "$build/wine/display")
out="$build/test-output"
work=$(mktemp -d)
mkdir -p "$out"
prog=
# shellcheck source=../support/compositor.sh
. "$here/tests/support/compositor.sh"
cleanup() {
    [ -n "$prog" ] && kill "$prog" 2>/dev/null || true
    stop_compositor
    rm -rf "$work"
}
trap cleanup EXIT
start_compositor "$display" "$work/xcompmgr.log" || exit 1

"$here/scripts/wine-env.sh" run "$build" "$build/bin/shadow_screens.exe" "Z:${work//\//\\}" >"$work/prog.log" 2>&1 &
prog=$!
for _ in $(seq 1 600); do
    [ -s "$work/ready.txt" ] && break
    kill -0 "$prog" 2>/dev/null || break
    sleep 0.1
done
[ -s "$work/ready.txt" ] || { echo "the windows did not come up:"; cat "$work/prog.log"; exit 1; }
sleep 1  # let the compositor draw the last frame
DISPLAY="$display" import -window root "$work/screen.png"
touch "$work/done.txt"
wait "$prog" || true
prog=

cp "$work/screen.png" "$out/shadow-screen.png"
echo "windows (left top right bottom):"
cat "$work/ready.txt"

# Pixel luminance 0..255 at x,y of the captured screen.
lum() { convert "$work/screen.png" -format "%[fx:int(255*(0.299*p{$1,$2}.r+0.587*p{$1,$2}.g+0.114*p{$1,$2}.b)+0.5)]" info:; }

status=0
names=(GameLoader CustomMsgBox)
i=0
while read -r left top right bottom; do
    name=${names[$i]}
    i=$((i + 1))
    m=24
    convert "$work/screen.png" -crop "$((right - left + 2 * m))x$((bottom - top + 2 * m))+$((left - m))+$((top - m))" \
        +repage -strip "$out/shadow-$name.png"
    midy=$(((top + bottom) / 2))
    midx=$(((left + right) / 2))
    for probe in "$((left - 2)) $midy $((left - 20)) $midy left" "$((right + 1)) $midy $((right + 20)) $midy right" \
        "$midx $((top - 2)) $midx $((top - 20)) top" "$midx $((bottom + 1)) $midx $((bottom + 20)) bottom"; do
        set -- $probe
        near=$(lum "$1" "$2")
        far=$(lum "$3" "$4")
        echo "$name $5: beside the window $near, backdrop $far"
        if [ "$near" -ge $((far - 10)) ]; then
            echo "FAIL: no shadow along the $5 side of $name"
            status=1
        fi
    done
    echo "saved $out/shadow-$name.png"
done <"$work/ready.txt"
exit $status
