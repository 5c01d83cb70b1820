#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a bounded time each.
#
#   scripts/fuzz.sh BUILD_DIR SECONDS
#
# Each target starts from its seeds in tests/fuzz/corpus/<target>; what it learns goes to
# BUILD_DIR/fuzz-corpus/<target> (the seeds in the repository stay as they are), an input that
# makes it fail to BUILD_DIR/fuzz-crashes/<target>-*. Prints each target's executions per second
# and corpus size; exits non-zero when any target failed.
set -uo pipefail

cd "$(dirname "$0")/.."
BUILD_DIR=${1:?build folder}
SECONDS_EACH=${2:-60}
failed=0
printf '%-24s %10s %12s %8s %s\n' target "exec/s" executions corpus result
for fuzzer in "$BUILD_DIR"/bin/fuzz/fuzz_*; do
    name=$(basename "$fuzzer")
    work="$BUILD_DIR/fuzz-corpus/$name"
    crashes="$BUILD_DIR/fuzz-crashes"
    mkdir -p "$work" "$crashes"
    log="$BUILD_DIR/fuzz-$name.log"
    "$fuzzer" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=4096 -max_len=65536 \
        -print_final_stats=1 -artifact_prefix="$crashes/$name-" \
        "$work" "tests/fuzz/corpus/$name" >"$log" 2>&1
    status=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    corpus=$(find "$work" -type f | wc -l)
    if [ "$status" -eq 0 ]; then
        result=ok
    else
        result="FAILED (see $log)"
        failed=1
        grep -m 5 -E "ERROR|fuzz check failed|SUMMARY" "$log" >&2
    fi
    printf '%-24s %10s %12s %8s %s\n' "$name" "${rate:-?}" "${execs:-?}" "$corpus" "$result"
done
exit "$failed"
