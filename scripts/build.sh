#!/usr/bin/env bash
# Builds the 32-bit product in build/i686 and, where the tests run another build, that one too.
# Prints the folder whose tests run. Needs scripts/setup.sh to have run.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
arch=$(cat "$here/.deps/test-arch")
jobs=$(nproc)

configure_and_build() { # arch, extra cmake arguments...
    local a=$1
    shift
    echo "[build] $a: configuring" >&2
    cmake -S "$here" -B "$here/build/$a" -G Ninja -DVEMRA_ARCH="$a" "$@" >"$here/build/configure-$a.log" 2>&1 ||
        { cat "$here/build/configure-$a.log" >&2; exit 1; }
    echo "[build] $a: compiling" >&2
    cmake --build "$here/build/$a" -j "$jobs" >&2
}

mkdir -p "$here/build"
if [ "$arch" = i686 ]; then
    configure_and_build i686 -DVEMRA_BUILD_TESTS=ON
else
    configure_and_build i686 -DVEMRA_BUILD_TESTS=OFF
    configure_and_build "$arch" -DVEMRA_BUILD_TESTS=ON -DVEMRA_PRODUCT_DIR="$here/build/i686"
fi
echo "$here/build/$arch"
