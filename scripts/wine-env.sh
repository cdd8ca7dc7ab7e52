#!/usr/bin/env bash
# The Wine environment of one build folder: a private prefix inside the build tree (created once, reused),
# one Xvfb and one persistent wineserver for a whole test run.
#   wine-env.sh start BUILD   prepare the prefix, start Xvfb and the wineserver
#   wine-env.sh stop  BUILD   stop them again
#   wine-env.sh run   BUILD PROGRAM [ARGS...]   run a Windows program (CTest's emulator)
#   wine-env.sh exec  BUILD PROGRAM [ARGS...]   the same, with its output going straight through
set -u
cmd=${1:?command}
build=$(cd "${2:?build folder}" && pwd)
shift 2
state="$build/wine"
# shellcheck source=/dev/null
. "$state/config.sh"
prefix="$state/prefix"

export WINEPREFIX="$prefix" WINEARCH="$VEMRA_WINEARCH" WINELOADER="$VEMRA_WINE_LOADER" WINESERVER="$VEMRA_WINESERVER"
export WINEDEBUG=-all
# Never offer the Gecko or Mono installers: nothing may block a headless run.
export WINEDLLOVERRIDES="mscoree=;mshtml="

say() { printf '[wine-env] %s\n' "$*"; }

alive() { # a pid that exists and is not a zombie
    local pid=$1 st
    [ -n "$pid" ] && [ -r "/proc/$pid/stat" ] || return 1
    st=$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null)
    [ -n "$st" ] && [ "$st" != Z ] && [ "$st" != X ]
}

start_xvfb() {
    local pid
    pid=$(cat "$state/xvfb.pid" 2>/dev/null)
    if alive "$pid" && [ -s "$state/display" ]; then return 0; fi
    rm -f "$state/display"
    # -displayfd picks a free display, so several build folders can run their suites at once.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$state/display.tmp" >"$state/xvfb.log" 2>&1 </dev/null &
    echo $! >"$state/xvfb.pid"
    for _ in $(seq 1 100); do
        if [ -s "$state/display.tmp" ]; then break; fi
        sleep 0.1
    done
    if [ ! -s "$state/display.tmp" ]; then say "Xvfb did not start:"; cat "$state/xvfb.log"; return 1; fi
    echo ":$(tr -d '\n' <"$state/display.tmp")" >"$state/display"
    say "Xvfb on display $(cat "$state/display")"
}

create_prefix() {
    [ -f "$prefix/.vemra-ready-2" ] && return 0
    say "creating the Wine prefix ($WINEARCH) in $prefix"
    rm -rf "$prefix"
    mkdir -p "$state"
    "$WINELOADER" wineboot -i >"$state/wineboot.log" 2>&1 </dev/null
    "$WINESERVER" -w
    # Chinese font names of the skins map onto the CJK font that the set-up installs. regedit wants UTF-16.
    local reg="$state/prefix-settings.reg"
    { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$VEMRA_SOURCE_DIR/scripts/wine-prefix.reg"; } >"$reg"
    "$WINELOADER" regedit /S "$(winepath_w "$reg")" >>"$state/wineboot.log" 2>&1 </dev/null
    "$WINESERVER" -w
    touch "$prefix/.vemra-ready-2"
    say "prefix ready"
}

winepath_w() { # a unix path as Wine's Z: drive sees it
    printf 'Z:%s' "$1" | tr '/' '\\'
}

# The stand-in browser engine (tools/fake_browser) answers for the WebBrowser class in this prefix, in the
# registry view of the build's architecture. Written on every start: wineboot -u (which Wine also runs after
# a version change) puts its own engine back. Links that a page opens in the default browser go nowhere:
# an empty browser list keeps winebrowser from starting a program of the host.
register_stand_ins() {
    local view=/reg:32 key='HKLM\Software\Classes\CLSID\{8856F961-340A-11D0-A96B-00C04FD705A2}\InprocServer32'
    [ "$VEMRA_WINEARCH" = win64 ] && view=/reg:64
    {
        "$WINELOADER" reg add "$key" /ve /d "$(winepath_w "$build/bin/fake_browser.dll")" /f "$view" &&
            "$WINELOADER" reg add "$key" /v ThreadingModel /d Apartment /f "$view" &&
            "$WINELOADER" reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /d '' /f
    } >"$state/register.log" 2>&1 </dev/null || { say "registering the stand-in browser failed:"; cat "$state/register.log"; return 1; }
}

case "$cmd" in
start)
    mkdir -p "$state"
    start_xvfb || exit 1
    export DISPLAY
    DISPLAY=$(cat "$state/display")
    create_prefix || exit 1
    # A persistent server, started here with its output in a file: a server started by a test would
    # hold CTest's output pipe open and hang the run.
    "$WINESERVER" -p >"$state/wineserver.log" 2>&1 </dev/null
    # Start Wine's own services now, for the same reason.
    "$WINELOADER" cmd /c exit 0 >"$state/warmup.log" 2>&1 </dev/null
    register_stand_ins || exit 1
    say "ready"
    ;;
stop)
    "$WINESERVER" -k >/dev/null 2>&1 </dev/null
    pid=$(cat "$state/xvfb.pid" 2>/dev/null)
    if alive "$pid"; then kill "$pid" 2>/dev/null; fi
    rm -f "$state/xvfb.pid" "$state/display"
    say "stopped"
    ;;
run|exec)
    if [ ! -s "$state/display" ]; then
        start_xvfb >/dev/null || exit 1
    fi
    DISPLAY=$(cat "$state/display")
    export DISPLAY
    if [ "$cmd" = exec ]; then exec "$WINELOADER" "$@"; fi
    # Output goes through a file: processes that Wine starts on the side inherit the program's handles,
    # and a pipe they keep open would hang CTest.
    out=$(mktemp "$state/run.XXXXXX")
    "$WINELOADER" "$@" >"$out" 2>&1 </dev/null
    rc=$?
    # A failure with not a byte of output is Wine failing to start the program at all (seen once among
    # hundreds of starts while another test started): one more start tells that apart from the program's
    # own failure, which would fail the same way again.
    if [ "$rc" != 0 ] && [ ! -s "$out" ]; then
        say "$(basename "$1") ended with $rc before printing anything; starting it once more" >&2
        "$WINELOADER" "$@" >"$out" 2>&1 </dev/null
        rc=$?
    fi
    cat "$out"
    rm -f "$out"
    exit $rc
    ;;
*)
    echo "usage: $0 start|stop|run|exec BUILD [PROGRAM ARGS...]" >&2
    exit 2
    ;;
esac
