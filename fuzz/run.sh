#!/usr/bin/env bash
# Fuzzes the binary configuration reader for a while (default 60 s).
#   fuzz/run.sh [seconds]
# Builds the fuzz preset (Clang, ASan + UBSan), seeds from the kept corpus
# (fuzz/corpus/binary_reader) and the compiled configuration, and writes new
# inputs to a scratch directory. An input that crashes is stored in
# fuzz/corpus/binary_reader/ (commit it: the unit tests replay that directory)
# and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_TO_RUN=${1:-${FUZZ_SECONDS:-60}}
BUILD=${FUZZ_BUILD_DIR:-build/fuzz}
CORPUS=fuzz/corpus/binary_reader

[ -f "$BUILD/build.ninja" ] || cmake --preset fuzz -B "$BUILD" > /dev/null
cmake --build "$BUILD" --target binary_reader_fuzz > /dev/null
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
grep -E "^#[0-9]+ +DONE|stat::number_of_executed_units|stat::average_exec_per_sec|ERROR|SUMMARY" "$WORK/log" || true
if [ $rc -ne 0 ]; then
  tail -50 "$WORK/log"
  echo "binary_reader_fuzz failed (rc=$rc); the input is in $CORPUS/" >&2
  exit $rc
fi
