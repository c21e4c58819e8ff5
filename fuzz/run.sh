#!/usr/bin/env bash
# Fuzzes the binary configuration reader for a while (default 60 s).
#   fuzz/run.sh [seconds]
# Builds the fuzz preset (Clang, ASan + UBSan, the library instrumented for
# coverage), seeds from the kept corpus (fuzz/corpus/binary_reader) and the
# compiled configuration, and writes new inputs to a scratch directory. An
# input that crashes is stored in fuzz/corpus/binary_reader/ (commit it: the
# unit tests replay that directory) and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_TO_RUN=${1:-${FUZZ_SECONDS:-60}}
BUILD=${FUZZ_BUILD_DIR:-build/fuzz}
CORPUS=fuzz/corpus/binary_reader

[ -f "$BUILD/build.ninja" ] || cmake --preset fuzz -B "$BUILD" > /dev/null
cmake --build "$BUILD" --target binary_reader_fuzz > /dev/null
# Without coverage instrumentation in the library the fuzzer sees only the
# harness's edges and mutates blindly: every object of the library that
# defines a function must carry libFuzzer's counters.
uninstrumented() {
  local defining instrumented
  defining=$(nm -A --defined-only "$1" 2>/dev/null | awk '$(NF-1) ~ /^[TW]$/ {split($1, p, ":"); print p[2]}')
  instrumented=$(readelf -SW "$1" | awk '/^File: /{m=$2; sub(/^.*\(/, "", m); sub(/\)$/, "", m)}
                                        /__sancov_cntrs/{print m}')
  comm -23 <(sort -u <<< "$defining") <(sort -u <<< "$instrumented")
}
blind=$(uninstrumented "$BUILD/kav/libquib_static.a")
if [ -n "$blind" ]; then
  echo "fuzz/run.sh: library objects without coverage instrumentation:" $blind >&2
  exit 1
fi
# The compiled configuration is a welcome seed, not a must.
cmake --build "$BUILD" --target config_files > /dev/null 2>&1 || echo "fuzz/run.sh: config seeds not built, corpus only"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
SEEDS=("$CORPUS")
[ -d "$BUILD/config" ] && SEEDS+=("$BUILD/config")

set +e
"$BUILD/fuzz/binary_reader_fuzz" -max_total_time="$SECONDS_TO_RUN" -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$CORPUS/crash-" -print_final_stats=1 "$WORK" "${SEEDS[@]}" 2> "$WORK/log"
rc=$?
set -e
# Coverage (cov: edges reached) when the seeds are read and at the end, speed.
grep -E "^INFO: Loaded|^#[0-9]+[[:space:]]+(INITED|DONE)|stat::(number_of_executed_units|average_exec_per_sec)" \
  "$WORK/log" || true
grep -E "ERROR|SUMMARY" "$WORK/log" || true
if [ $rc -ne 0 ]; then
  tail -50 "$WORK/log"
  echo "binary_reader_fuzz failed (rc=$rc); the input is in $CORPUS/" >&2
  exit $rc
fi
