#!/usr/bin/env bash
# The real launcher on a compositing display, as a player sees it: the portal page once it has loaded (the
# stand-in engine's picture), the download page while the parent client reports progress, then the network
# notice over it.
#   launcher-screenshots.sh BUILD   (the run's Xvfb and wineserver started by the wine fixture)
# Saves BUILD/test-output/launcher-portal.png, launcher-download.png and launcher-notice.png (each window with a
# margin) and fails unless the page shows on screen, the progress bar is filled to the reported share and the
# notice sits over the window.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
display=$(cat "$build/wine/display")
out="$build/test-output"
work=$(mktemp -d)
mkdir -p "$out"
# shellcheck source=../support/compositor.sh
. "$here/tests/support/compositor.sh"
cleanup() {
    stop_compositor
    rm -rf "$work"
}
trap cleanup EXIT
start_compositor "$display" "$work/xcompmgr.log" || exit 1

win="Z:${work//\//\\}"
"$here/scripts/wine-env.sh" run "$build" "$build/bin/parent_sim.exe" "--out=$win\\records.txt" \
    'start' 'wait-visible 10000' 'wait 800' "screenshot $win\\portal.bmp" 'post 1136 45' 'wait 1200' 'state' \
    "screenshot $win\\download.bmp" 'post 1135 1' 'wait-notice 5000' 'wait 800' "screenshot $win\\notice.bmp" \
    'notice-click ok' 'wait-exit 20000' >"$work/sim.log" 2>&1 || true
cat "$work/records.txt"
grep -q '^exit code=0 ' "$work/records.txt" || { echo "FAIL: the launcher did not end with 0"; exit 1; }

rect() { grep "^$1 " "$work/records.txt" | head -n1 | sed 's/.* rect=//' | tr ',' ' '; }
read -r left top right bottom <<<"$(rect state)"
read -r nleft ntop nright nbottom <<<"$(rect notice)"

crop() { # picture, name, left top right bottom
    local m=24
    convert "$work/$1.bmp" -crop "$(($5 - $3 + 2 * m))x$(($6 - $4 + 2 * m))+$(($3 - m))+$(($4 - m))" +repage -strip \
        "$out/$2.png"
    echo "saved $out/$2.png"
}
crop portal launcher-portal "$left" "$top" "$right" "$bottom"
crop download launcher-download "$left" "$top" "$right" "$bottom"
crop notice launcher-notice "$left" "$top" "$right" "$bottom"

# Red and blue of a screen pixel, 0..255.
px() { convert "$work/$1.bmp" -format "%[fx:int(255*p{$2,$3}.r+0.5)] %[fx:int(255*p{$2,$3}.b+0.5)]" info:; }
status=0
# The stand-in portal picture is dark blue with an orange play button near the bottom.
read -r pr pb <<<"$(px portal $((left + 480)) $((top + 300)))"
read -r br bb <<<"$(px portal $((left + 480)) $((bottom - 120)))"
echo "portal page: background r=$pr b=$pb, play button r=$br b=$bb"
if [ "$pb" -le "$pr" ] || [ "$br" -le "$bb" ]; then echo "FAIL: the portal page does not show on screen"; status=1; fi
# The bar runs from x 320 to 850 of the window at y 320..333; at 45% the fill ends near x 558.
read -r fr fb <<<"$(px download $((left + 330)) $((top + 326)))"
read -r er eb <<<"$(px download $((left + 800)) $((top + 326)))"
echo "bar: filled part r=$fr b=$fb, empty part r=$er b=$eb"
if [ "$fr" -le "$er" ] || [ "$fr" -le "$fb" ]; then echo "FAIL: the bar is not filled to 45%"; status=1; fi
# The notice is centred over the main window.
off() { local d=$(($1 - $2)); echo $((d < 0 ? -d : d)); }
if [ "$(off $(((nleft + nright) / 2)) $(((left + right) / 2)))" -gt 1 ] ||
    [ "$(off $(((ntop + nbottom) / 2)) $(((top + bottom) / 2)))" -gt 1 ]; then
    echo "FAIL: the notice is not centred over the window"
    status=1
fi
exit $status
