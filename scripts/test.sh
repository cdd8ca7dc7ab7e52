#!/usr/bin/env bash
# The whole test suite from a fresh machine: set-up, build, every test under Wine.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$here/scripts/setup.sh"
dir=$("$here/scripts/build.sh")
echo "[test] running the tests of $dir"
ctest --test-dir "$dir" --output-on-failure -j 2 "$@"
