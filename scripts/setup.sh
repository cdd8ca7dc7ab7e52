#!/usr/bin/env bash
# Prepares a Debian 12 machine to build and test the launcher: cross compilers, Wine, Xvfb and fonts, and
# the Debian sources of the libraries we build ourselves. Idempotent: where everything is present it only
# checks and returns within seconds.
#
# Wine runs the tests. Where this machine executes 32-bit x86 code, that is the 32-bit Wine with the
# 32-bit product itself. Some virtual machines cannot execute 32-bit code at all (no 32-bit code segment,
# so neither 32-bit Linux programs nor Wine's WoW64 work); there the tests run a 64-bit build of the same
# sources under 64-bit Wine, and the 32-bit product is built and checked but not run. The choice is
# written to .deps/test-arch.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
deps="$here/.deps"
say() { printf '[setup] %s\n' "$*"; }
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

# A 96-byte 32-bit Linux program that exits with 42.
can_run_i386() {
    local probe rc
    probe=$(mktemp)
    printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
    chmod +x "$probe"
    rc=0
    "$probe" 2>/dev/null || rc=$?
    rm -f "$probe"
    [ "$rc" -eq 42 ]
}

mkdir -p "$deps"
# A machine where the 32-bit Wine could not be installed once (see below) keeps to the 64-bit build.
if [ -n "${VEMRA_TEST_ARCH:-}" ]; then
    arch=$VEMRA_TEST_ARCH
elif [ -f "$deps/no-wine32" ]; then
    arch=x86_64
elif can_run_i386; then
    arch=i686
else
    arch=x86_64
fi

common_pkgs=(cmake ninja-build dpkg-dev g++-mingw-w64-i686-posix googletest libstb-dev zip
             xvfb imagemagick x11-apps xcompmgr fonts-wqy-microhei fonts-wine fonts-liberation)
choose_wine() {
    if [ "$arch" = i686 ]; then
        say "32-bit programs run here: tests use 32-bit Wine and the 32-bit product"
        wine_pkgs=(wine wine32:i386 libxrender1:i386 libxcomposite1:i386 libxrandr2:i386 libxi6:i386
                   libxcursor1:i386 libxfixes3:i386 libxinerama1:i386 libxxf86vm1:i386 libgnutls30:i386
                   libdbus-1-3:i386)
    else
        say "tests use 64-bit Wine and a 64-bit build of the same sources"
        wine_pkgs=(wine64 g++-mingw-w64-x86-64-posix libxrender1 libxcomposite1 libxrandr2 libxi6 libxcursor1
                   libxfixes3 libxinerama1 libxxf86vm1 libgnutls30 libdbus-1-3)
    fi
}
choose_wine

missing=()
for p in "${common_pkgs[@]}" "${wine_pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

need_update=0
if [ "$arch" = i686 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    say "adding the i386 architecture (32-bit Wine)"
    $SUDO dpkg --add-architecture i386
    need_update=1
fi
# Source entries for the main archive only (the security mirror does not serve every source it lists).
# They reuse the key setting of the existing entries: apt rejects two different ones for one mirror.
src_list=/etc/apt/sources.list.d/vemra2-deb-src.sources
if [ ! -f "$src_list" ] && ! grep -rqsE '^deb-src .*debian(/| ).*bookworm ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    say "adding deb-src entries for bookworm and bookworm-updates"
    signed=$(grep -rhs '^Signed-By:' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n1 | sed 's/^Signed-By:[[:space:]]*//' || true)
    {
        echo "Types: deb-src"
        echo "URIs: http://deb.debian.org/debian"
        echo "Suites: bookworm bookworm-updates"
        echo "Components: main"
        if [ -n "$signed" ]; then echo "Signed-By: $signed"; fi
    } | $SUDO tee "$src_list" >/dev/null
    need_update=1
fi
need_sources=0
for d in 'libjsoncpp-*' 'tinyxml-*' 'zlib-1*'; do compgen -G "$deps/src/$d/" >/dev/null || need_sources=1; done

if [ ${#missing[@]} -gt 0 ] || [ $need_update -eq 1 ] || [ $need_sources -eq 1 ]; then
    say "apt-get update"
    # A mirror caught mid-sync fails one index now and then; apt keeps the others, so go on with them and
    # let the install below say whether anything is really missing.
    if ! $SUDO apt-get update -q >"$deps/apt-update.log" 2>&1 || grep -q '^E: ' "$deps/apt-update.log"; then
        sleep 5
        $SUDO apt-get update -q >"$deps/apt-update.log" 2>&1 ||
            say "apt-get update reported errors (going on with the indexes it has): $(grep '^E: ' "$deps/apt-update.log" | head -n 2 | tr '\n' ' ')"
    fi
fi
if [ ${#missing[@]} -gt 0 ]; then
    say "installing ${#missing[@]} packages (about a minute): ${missing[*]}"
    $SUDO apt-get install -y -q --no-install-recommends "${common_pkgs[@]}" >"$deps/apt-common.log" 2>&1 ||
        { tail -n 20 "$deps/apt-common.log"; say "apt-get install failed"; exit 1; }
    say "installed the common packages"
    if ! $SUDO apt-get install -y -q --no-install-recommends "${wine_pkgs[@]}" >"$deps/apt-wine.log" 2>&1; then
        # The i386 libraries must match the installed 64-bit ones version for version; a mirror whose i386
        # index is stale or missing makes that impossible. The 64-bit build tests the same sources.
        if [ "$arch" = i686 ] && [ -z "${VEMRA_TEST_ARCH:-}" ]; then
            say "the 32-bit Wine cannot be installed from this mirror ($(grep -m1 '^E: ' "$deps/apt-wine.log"))"
            touch "$deps/no-wine32"
            arch=x86_64
            choose_wine
            $SUDO apt-get install -y -q --no-install-recommends "${wine_pkgs[@]}" >"$deps/apt-wine.log" 2>&1 ||
                { tail -n 20 "$deps/apt-wine.log"; say "apt-get install failed"; exit 1; }
        else
            tail -n 20 "$deps/apt-wine.log"; say "apt-get install failed"; exit 1
        fi
    fi
    say "installed the wine packages"
    for p in "${common_pkgs[@]}" "${wine_pkgs[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
            { say "package $p did not install"; exit 1; }
    done
else
    say "all packages present"
fi

# Library sources, unpacked with Debian's patches applied (TinyXML carries security fixes that way).
mkdir -p "$deps/src"
fetch() { # source package, folder glob once unpacked, .dsc name prefix
    if compgen -G "$deps/src/$2/" >/dev/null; then return 0; fi
    say "fetching the Debian source of $1"
    (cd "$deps/src" && apt-get source -q --download-only "$1" >"$deps/source-$1.log" 2>&1) ||
        { tail -n 5 "$deps/source-$1.log"; say "apt-get source $1 failed"; exit 1; }
    local dsc
    dsc=$(ls "$deps/src/$3"_*.dsc | head -n1)
    (cd "$deps/src" && dpkg-source -q -x "$dsc" >>"$deps/source-$1.log" 2>&1) ||
        { say "unpacking $dsc failed"; exit 1; }
}
fetch libjsoncpp-dev 'libjsoncpp-*' libjsoncpp
fetch tinyxml 'tinyxml-*' tinyxml
fetch zlib 'zlib-1*' zlib
echo "$arch" >"$deps/test-arch"
say "ready (tests run on $arch)"
