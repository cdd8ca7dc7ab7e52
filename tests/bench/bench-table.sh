#!/usr/bin/env bash
# scripts/bench.sh turns the benchmarks' rows into one aligned table and into Markdown.
set -euo pipefail
src=${1:?source folder}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

printf '%s\t%s\t%s\t%s\n' \
    "progress tick: value change -> bar on screen" "<= 1.25 x baseline 240 us = 300 us" \
    "median 506 us (min 501 us - max 545 us, 15 runs)" miss \
    "repaint 1 x 1" "<= 1.25 x baseline 238 us = 298 us" "median 280 us (min 270 us - max 290 us, 15 runs)" pass \
    "a | b" "report only" "median 3.00 ms (min 2.00 ms - max 4.00 ms, 15 runs)" info >"$tmp/rows.tsv"

"$src/scripts/bench.sh" --from="$tmp/rows.tsv" >"$tmp/table.txt"
cat "$tmp/table.txt"
grep -q '^1 pass, 1 miss, 1 info$' "$tmp/table.txt" || fail "summary line"
# Every line of the table starts its columns at the same places as the header.
header=$(grep -n '^Figure ' "$tmp/table.txt" | cut -d: -f1)
[ -n "$header" ] || fail "no header"
goal_col=$(sed -n "${header}p" "$tmp/table.txt" | awk '{ print index($0, "Goal") }')
verdict_col=$(sed -n "${header}p" "$tmp/table.txt" | awk '{ print index($0, "Verdict") }')
for figure in "progress tick" "repaint 1 x 1" "a | b"; do
    line=$(grep -F "$figure" "$tmp/table.txt")
    [ "$(awk -v l="$line" 'BEGIN { print index(l, "<=") ? index(l, "<=") : index(l, "report only") }')" = "$goal_col" ] ||
        fail "goal column of '$figure'"
    case "${line:$((verdict_col - 1))}" in pass | miss | info) ;; *) fail "verdict column of '$figure'" ;; esac
done
grep -F 'progress tick' "$tmp/table.txt" | grep -q ' miss$' || fail "verdict miss"
grep -F 'repaint 1 x 1' "$tmp/table.txt" | grep -q ' pass$' || fail "verdict pass"

"$src/scripts/bench.sh" --from="$tmp/rows.tsv" --markdown >"$tmp/table.md"
cat "$tmp/table.md"
grep -qx '| Figure | Goal | Measured | Verdict |' "$tmp/table.md" || fail "markdown header"
grep -qx '|---|---|---|---|' "$tmp/table.md" || fail "markdown rule"
# A bar inside a cell is escaped, or it would split the cell.
grep -qF '| a \| b | report only | median 3.00 ms (min 2.00 ms - max 4.00 ms, 15 runs) | info |' "$tmp/table.md" ||
    fail "markdown escaping"
[ "$(grep -c '^| ' "$tmp/table.md")" = 4 ] || fail "markdown rows"

# Rows that cannot be read are refused, not shown as an empty table.
if "$src/scripts/bench.sh" --from="$tmp/missing.tsv" >/dev/null 2>&1; then fail "missing rows accepted"; fi
echo "bench table: ok"
