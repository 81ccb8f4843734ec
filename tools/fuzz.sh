#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each.
#   tools/fuzz.sh              a short run of each, from its seed corpus
#   tools/fuzz.sh RUNS         RUNS executions of each (e.g. 10000000)
# Findings are written to build/fuzz/findings/; add each to the target's seeds once fixed
# (tests/fuzz/corpus/TARGET; tests/pages for the page scan).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20000}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
mkdir -p build/fuzz/findings
status=0
for target in line_list on_air_page time_of_day field_split song_log; do
    work=build/fuzz/corpus/$target
    mkdir -p "$work"
    echo "== fuzz_$target: $runs runs"
    log=build/fuzz/$target.log
    seeds=tests/fuzz/corpus/$target
    # The page scan starts from the page fixtures the other tests use.
    [ "$target" = on_air_page ] && seeds=tests/pages
    build/fuzz/tests/fuzz/fuzz_$target -runs="$runs" -print_final_stats=1 \
        -artifact_prefix=build/fuzz/findings/$target- "$work" "$seeds" >"$log" 2>&1 || status=1
    grep -E 'stat::number_of_executed_units|ERROR|SUMMARY' "$log" || true
done
exit $status
