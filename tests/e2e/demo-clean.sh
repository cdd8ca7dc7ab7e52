#!/usr/bin/env bash
# The README's main-job command from a clean state: a Wine prefix, log and settings that no earlier run left,
# with the programs of this build (BUILD/bin). Fails unless the demonstration ends well and shows each step.
#   demo-clean.sh BUILD
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
clean=$(mktemp -d)
trap 'rm -rf "$clean"' EXIT
mkdir -p "$clean/wine"
ln -s "$build/bin" "$clean/bin"
cp "$build/wine/config.sh" "$clean/wine/config.sh"

status=0
VEMRA_DEMO_BUILD="$clean" "$here/scripts/demo.sh" >"$clean/demo.log" 2>&1 || status=$?
cat "$clean/demo.log"
[ "$status" -eq 0 ] || { echo "FAIL: the demonstration ended with $status"; exit 1; }
expect() { grep -q -F -- "$1" "$clean/demo.log" || { echo "FAIL: the demonstration never showed: $1"; exit 1; }; }
expect "creating the Wine prefix"
expect "install value DisplayName=Vemrakai2"
expect "--token=page-token-7f3a"
expect "notice hwnd="
expect "copydata to=main"
expect "[demo] done"
[ "$(grep -c '^    exit code=0 ' "$clean/demo.log")" -eq 3 ] || { echo "FAIL: not every launcher ended with 0"; exit 1; }
for p in 1-portal 2-download 3-installed 4-network-notice; do
    [ -s "$clean/demo-screenshots/$p.png" ] || { echo "FAIL: no screenshot $p"; exit 1; }
done
echo "the demonstration ran from a clean state"
