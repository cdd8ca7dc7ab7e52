# Sourced by the screenshot tests: a compositing manager on the test display, so that layered windows
# (the drop shadows) are blended as on a desktop.
#   start_compositor DISPLAY LOG   starts xcompmgr; its process id is in $comp, and stop_compositor ends it
comp=
start_compositor() {
    xcompmgr -d "$1" >"$2" 2>&1 &
    comp=$!
    sleep 1
    kill -0 "$comp" 2>/dev/null || { echo "xcompmgr did not start:"; cat "$2"; return 1; }
}
stop_compositor() {
    [ -n "$comp" ] && kill "$comp" 2>/dev/null || true
    comp=
}
