#!/usr/bin/env bash
# The launcher's main job, as a demonstration: set-up, build, then the parent-client simulator starts
# vemra2_main.exe under Wine the way the real parent client does, and the log the launcher wrote is shown.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$here/scripts/setup.sh"
dir=$("$here/scripts/build.sh")
env="$here/scripts/wine-env.sh"
"$env" start "$dir"
trap '"$env" stop "$dir" >/dev/null 2>&1' EXIT
sim() { "$env" run "$dir" "$dir/bin/parent_sim.exe" "$@"; }
logs="$dir/wine/prefix/drive_c/users"
# Bytes of all launcher logs so far; 0 before the first run has written one.
log_size() {
    local f total=0
    for f in "$logs"/*/AppData/Local/Orbit_Center/Log/vemra2_main.exe_*.log; do
        [ -f "$f" ] && total=$((total + $(stat -c %s "$f")))
    done
    echo "$total"
}
before=$(log_size)

echo
echo "[demo] 1. A normal start with the eight launch options (the parent's two windows are {main} and {mgr})"
sim 'settings-delete' 'start token=demo-token ocext=demo-ext typeMode=1' 'wait-exit 30000'

echo

echo "[demo] 2. A game-exit start: the launcher reads the shared settings file and sends the parent its notice"
sim 'settings <settings><ocwindowid>{main}</ocwindowid><loginsource>OC</loginsource></settings>' \
    'start-game-exit' 'wait-exit 30000'

log=$(ls -t "$dir"/wine/prefix/drive_c/users/*/AppData/Local/Orbit_Center/Log/vemra2_main.exe_*.log | head -n1)
user=$(basename "$(dirname "$(dirname "$(dirname "$(dirname "$(dirname "$log")")")")")")
echo
echo "[demo] the launcher's log: $log"
echo "[demo] (inside Wine: C:\\users\\$user\\AppData\\Local\\Orbit_Center\\Log\\$(basename "$log"))"
echo "[demo] lines of this run:"
cat "$logs"/*/AppData/Local/Orbit_Center/Log/vemra2_main.exe_*.log | tail -c +$((before + 1)) | tr -d '\r'
