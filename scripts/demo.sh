#!/usr/bin/env bash
# The launcher's main job, as a demonstration: set-up and build, then the parent-client simulator drives the
# real vemra2_main.exe under Wine the way the parent client does, with the stand-in portal page and the
# stand-in game, narrating each step; screenshots go to one folder, named at the end.
#
#   scripts/demo.sh                    set-up, build, demonstration
#   VEMRA_DEMO_BUILD=DIR scripts/demo.sh   only the demonstration, with the programs of DIR/bin and the Wine
#                                      environment of DIR (a folder with bin/ and wine/config.sh; the test
#                                      suite uses this to run the demonstration from a clean state)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ -n "${VEMRA_DEMO_BUILD:-}" ]; then
    dir=$(cd "$VEMRA_DEMO_BUILD" && pwd)
else
    "$here/scripts/setup.sh"
    dir=$("$here/scripts/build.sh")
fi
env="$here/scripts/wine-env.sh"
started=$(date +%s)
echo "[demo] starting Wine (the first start creates its prefix, about 20 s)"
"$env" start "$dir"
comp=
cleanup() {
    [ -n "$comp" ] && kill "$comp" 2>/dev/null || true
    "$env" stop "$dir" >/dev/null 2>&1 || true
}
trap cleanup EXIT
# A compositing display, so that the windows' drop shadows show in the screenshots as on a desktop.
xcompmgr -d "$(cat "$dir/wine/display")" >/dev/null 2>&1 &
comp=$!

shots="$dir/demo-screenshots"
work="$dir/demo-work"
rm -rf "$shots" "$work"
mkdir -p "$shots" "$work"
wpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }

logs="$dir/wine/prefix/drive_c/users"
log_file() { ls -t "$logs"/*/AppData/Local/Orbit_Center/Log/vemra2_main.exe_*.log 2>/dev/null | head -n1; }
# Bytes of the launcher's log so far; 0 before the first run has written one.
log_size() {
    local f
    f=$(log_file)
    if [ -n "$f" ] && [ -f "$f" ]; then stat -c %s "$f"; else echo 0; fi
}

# Runs the simulator with the steps; prints its records as the narration goes.
sim() { # name, steps...
    local name=$1
    shift
    "$env" run "$dir" "$dir/bin/parent_sim.exe" "--out=$(wpath "$work/$name.txt")" "$@" >"$work/$name.out" 2>&1 || true
    sed -e 's/^say /\n[demo] /' -e '/^say$/d' "$work/$name.txt" | grep -v -E '^(posted|wait|done)' |
        sed -e '/^\[demo\]/!s/^/    /'
}
# The window's rectangle from the last "state" record, for cropping screenshots.
crop_shot() { # run name, picture name
    local rect
    rect=$(grep '^state ' "$work/$1.txt" | tail -n1 | sed 's/.* rect=//' | tr ',' ' ')
    read -r l t r b <<<"$rect"
    local m=24
    convert "$work/$2.bmp" -crop "$((r - l + 2 * m))x$((b - t + 2 * m))+$((l - m))+$((t - m))" +repage -strip \
        "$shots/$2.png"
    echo "    screenshot: $shots/$2.png"
}

game_record="$work/game.txt"
export VEMRA2_GAME_RECORD
VEMRA2_GAME_RECORD=$(wpath "$game_record")
export VEMRA2_GAME_LIFETIME_MS=2000
# The portal's play button hands over a fresh sign-in token, as the real page does.
page="$work/portal-page.txt"
printf 'load\nportal {"funcation_name":"open_game","token":"page-token-7f3a","ocext":"demo-ext"}\n' >"$page"
export VEMRA_FAKE_PAGE
VEMRA_FAKE_PAGE=$(wpath "$page")

before=$(log_size)
echo
echo "[demo] 1. A typical run: the parent client starts the launcher, reports a download, and the player starts the game"
sim typical 'clear-install' 'settings-delete' \
    'say The parent client starts the launcher with sample sign-in data (no token yet: the portal page signs the player in)' \
    'start -token ocext=demo-ext installed=0 typeMode=1' \
    'say The stand-in portal page loads; the window comes up in front' \
    'wait-visible 20000' 'wait 600' 'state' "screenshot $(wpath "$work/1-portal.bmp")" \
    'say The parent client reports its download: the launcher turns to its download page' \
    'post 1136 15' 'wait 400' 'post 1136 40' 'wait 400' 'post 1136 75' 'wait 800' 'state' \
    "screenshot $(wpath "$work/2-download.bmp")" 'post 1136 100' 'post 1136 100' 'wait 500' \
    'say The parent client has unpacked the game and reports it: the launcher registers the install' \
    'install-game' 'post 1134 0' 'wait 1000' 'show-install' \
    'say (started by the parent client, source OC: no desktop shortcut; the launcher is back on the portal page)' \
    'state' "screenshot $(wpath "$work/3-installed.bmp")" \
    'say The player presses the page'"'"'s play button: the page'"'"'s open_game command starts the game' \
    'page-click play' 'wait-exit 30000'
for p in 1-portal 2-download 3-installed; do crop_shot typical "$p"; done
echo
echo "[demo] the stand-in game was started as:"
for _ in $(seq 1 50); do grep -q '^end' "$game_record" 2>/dev/null && break; sleep 0.1; done
grep -E '^(cmdline|arg)=' "$game_record" | tr -d '\r' | sed 's/^/    /' || echo "    (no game was started)"

echo
echo "[demo] 2. A failure a player may meet: the parent client loses the network during the download"
sim failure 'start ocext=demo-ext' 'wait-visible 20000' 'post 1136 30' 'wait 600' \
    'say The parent client reports a network failure: the launcher shows its notice' \
    'post 1135 1' 'wait-notice 5000' 'wait 800' 'state' "screenshot $(wpath "$work/4-network-notice.bmp")" \
    'say The player presses OK: the launcher closes' 'notice-click ok' 'wait-exit 30000'
crop_shot failure 4-network-notice

echo
echo "[demo] 3. After the game: the parent client's game-exit start tells the parent client that the game ended"
sim gameexit 'settings <settings><ocwindowid>{main}</ocwindowid><loginsource>OC</loginsource></settings>' \
    'start-game-exit' 'wait-exit 30000'

log=$(log_file)
user=$(basename "$(dirname "$(dirname "$(dirname "$(dirname "$(dirname "$log")")")")")")
echo
echo "[demo] the launcher's log: $log"
echo "[demo] (inside Wine: C:\\users\\$user\\AppData\\Local\\Orbit_Center\\Log\\$(basename "$log"))"
echo "[demo] lines of these runs:"
tail -c +$((before + 1)) "$log" | tr -d '\r' | sed 's/^/    /'
echo
echo "[demo] screenshots: $shots"
ls -1 "$shots" | sed 's/^/    /'
echo "[demo] done in $(($(date +%s) - started)) s"
