#!/usr/bin/env bash
# Every benchmark in one run, and one table of what they measured: figure, goal (with the baseline of the
# same run filled in), measured median with its spread, pass or miss.
#   scripts/bench.sh              set-up and build as scripts/test.sh does, then the table
#   scripts/bench.sh --markdown   the same table as Markdown (for the README)
#   VEMRA_BENCH_BUILD=DIR scripts/bench.sh   measure an existing build folder, without set-up or build
#   scripts/bench.sh --from=ROWS  only the table, from the rows of an earlier run (DIR/bench-output/rows.tsv)
# Progress and each program's details go to standard error, the table to standard output; every program's
# whole output is kept in DIR/bench-output/.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

markdown=0
from=
for arg in "$@"; do
    case "$arg" in
    --markdown) markdown=1 ;;
    --from=*) from=${arg#--from=} ;;
    -h | --help)
        sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    *)
        echo "unknown argument: $arg (see --help)" >&2
        exit 2
        ;;
    esac
done

say() { printf '[bench] %s\n' "$*" >&2; }

measure() {
    if [ -n "${VEMRA_BENCH_BUILD:-}" ]; then
        dir=$(cd "$VEMRA_BENCH_BUILD" && pwd)
    else
        "$here/scripts/setup.sh" >&2
        dir=$("$here/scripts/build.sh")
    fi
    [ -x "$dir/bin/bench_window.exe" ] || { say "no benchmarks in $dir/bin (was it built?)"; exit 1; }

    # Leave a Wine environment that was already running (a test run of the same folder) as it was.
    state="$dir/wine"
    started=0
    if ! { [ -s "$state/display" ] && [ -r "/proc/$(cat "$state/xvfb.pid" 2>/dev/null)/stat" ]; }; then started=1; fi
    "$here/scripts/wine-env.sh" start "$dir" >&2
    if [ "$started" = 1 ]; then trap '"$here/scripts/wine-env.sh" stop "$dir" >&2' EXIT; fi
    # shellcheck source=/dev/null
    . "$state/config.sh"

    # Other work on the machine shows in every figure; the baselines of the same run make up for some of it.
    load=$(cut -d' ' -f1 /proc/loadavg)
    if awk -v l="$load" -v n="$(nproc)" 'BEGIN { exit !(l > n / 2) }'; then
        say "the machine is busy (load $load on $(nproc) cores): figures will spread more"
    fi

    out="$dir/bench-output"
    mkdir -p "$out"
    rows="$out/rows.tsv"
    : >"$rows"

    # The in-process figures first, then the process-level ones (bench_launcher, when this build has it).
    programs=(bench_render bench_window bench_shadow bench_launcher)
    for p in "${programs[@]}"; do
        exe="$dir/bin/$p.exe"
        if [ ! -f "$exe" ]; then
            say "$p.exe: not in this build, skipped"
            continue
        fi
        say "running $p.exe"
        start=$(date +%s)
        rc=0
        # Into a file, not a pipe (a process Wine starts on the side could hold a pipe open); its details are
        # shown as they come.
        timeout 1200 "$here/scripts/wine-env.sh" exec "$dir" "$exe" >"$out/$p.txt" 2>&1 </dev/null &
        pid=$!
        tail -n +1 -f --pid="$pid" "$out/$p.txt" | grep --line-buffered -v $'^row\t' | sed -u 's/\r$//; s/^/    /' >&2 || true
        wait "$pid" || rc=$?
        tr -d '\r' <"$out/$p.txt" >"$out/$p.clean" && mv "$out/$p.clean" "$out/$p.txt"
        grep $'^row\t' "$out/$p.txt" | cut -f2- >>"$rows" || true
        say "$p.exe: $(grep -c $'^row\t' "$out/$p.txt" || true) figures in $(($(date +%s) - start)) s, exit $rc"
        if [ "$rc" != 0 ]; then
            printf '%s\t%s\t%s\t%s\n' "$p.exe" "runs to the end" "exit $rc (see $out/$p.txt)" miss >>"$rows"
        fi
    done
    wine_version=$("$VEMRA_WINE_LOADER" --version 2>/dev/null || echo "Wine")
    about="$(basename "$dir") build, $wine_version, $(nproc) cores, load $load at the start, $(date -u '+%Y-%m-%d %H:%M UTC')"
}

if [ -n "$from" ]; then
    [ -r "$from" ] || { say "cannot read $from"; exit 1; }
    rows=$from
    about="rows of $from"
else
    measure
fi

count() { awk -F'\t' -v v="$1" '$4 == v' "$rows" | wc -l; }
summary="$(count pass) pass, $(count miss) miss, $(count info) info"

if [ "$markdown" = 1 ]; then
    printf 'Measured by `scripts/bench.sh --markdown` (%s): %s.\n\n' "$about" "$summary"
    printf '| Figure | Goal | Measured | Verdict |\n|---|---|---|---|\n'
    awk -F'\t' '{ gsub(/\|/, "\\|"); printf "| %s | %s | %s | %s |\n", $1, $2, $3, $4 }' "$rows"
else
    echo
    echo "scripts/bench.sh: $about"
    awk -F'\t' '
        { for (i = 1; i <= 4; i++) { cell[NR, i] = $i; if (length($i) > w[i]) w[i] = length($i) } }
        END {
            split("Figure Goal Measured Verdict", head, " ")
            for (i = 1; i <= 4; i++) if (length(head[i]) > w[i]) w[i] = length(head[i])
            line = sprintf("%-" w[1] "s  %-" w[2] "s  %-" w[3] "s  %s", head[1], head[2], head[3], head[4])
            print line
            gsub(/./, "-", line)
            print line
            for (r = 1; r <= NR; r++)
                printf "%-" w[1] "s  %-" w[2] "s  %-" w[3] "s  %s\n", cell[r, 1], cell[r, 2], cell[r, 3], cell[r, 4]
        }' "$rows"
    echo "$summary"
fi
