#!/usr/bin/env bash
# The launcher's main job, as a demonstration: set-up, build, then a run of vemra2_main.exe under Wine
# with the launch options a parent client passes, followed by the log it wrote.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$here/scripts/setup.sh"
dir=$("$here/scripts/build.sh")
env="$here/scripts/wine-env.sh"
"$env" start "$dir"
trap '"$env" stop "$dir" >/dev/null 2>&1' EXIT

args=(--winid=65552 --source=OC --tokenLogin=0 --token=demo-token --ocext=demo-ext --installed=1
      --gameMgrId=65554 --typeMode=1)
echo "[demo] vemra2_main.exe ${args[*]}"
rc=0
"$env" run "$dir" "$dir/bin/vemra2_main.exe" "${args[@]}" >/dev/null || rc=$?
echo "[demo] exit code: $rc"
log=$(ls -t "$dir"/wine/prefix/drive_c/users/*/AppData/Local/Orbit_Center/Log/vemra2_main.exe_*.log | head -n1)
echo "[demo] log file: $log"
echo "[demo] (inside Wine: C:\\users\\$(basename "$(dirname "$(dirname "$(dirname "$(dirname "$(dirname "$log")")")")")")\\AppData\\Local\\Orbit_Center\\Log\\$(basename "$log"))"
tr -d '\r' <"$log"
