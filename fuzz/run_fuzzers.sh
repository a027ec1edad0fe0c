#!/usr/bin/env bash
# Runs each fuzz target for SECONDS on a working copy of its committed
# corpus, one target at a time, single process.
#   fuzz/run_fuzzers.sh BUILD_DIR SECONDS [fresh]
# The working corpus lives in BUILD_DIR/fuzz-corpus/<target> and grows from
# run to run; with "fresh" it is first reset to the committed seeds (the
# brief regression run of `make test`). New crash, leak or timeout inputs are
# saved in BUILD_DIR/fuzz-artifacts/<target>/; the script prints their paths
# and fails when any target failed.
set -uo pipefail

build_dir=$1
seconds=$2
mode=${3:-}
source_dir=$(cd "$(dirname "$0")" && pwd)
targets=(received_stream debug_pdu message_object)
failed=()

for target in "${targets[@]}"; do
  corpus="$build_dir/fuzz-corpus/$target"
  artifacts="$build_dir/fuzz-artifacts/$target"
  [ "$mode" = fresh ] && rm -rf "$corpus"
  mkdir -p "$corpus" "$artifacts"
  cp -n "$source_dir/corpus/$target"/* "$corpus"/
  max_len=4096
  [ "$target" = received_stream ] && max_len=8192
  log="$build_dir/fuzz-artifacts/$target.log"
  echo "== $target: $seconds s (log: $log)"
  before=$(ls "$artifacts" | wc -l)
  "$build_dir/fuzz/${target}_fuzzer" "$corpus" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -malloc_limit_mb=1024 -max_len="$max_len" -print_final_stats=1 \
      -artifact_prefix="$artifacts/" >"$log" 2>&1
  status=$?
  grep -E '^#[0-9]+.*DONE|^stat::number_of_executed_units|^stat::average_exec_per_sec|^Done ' "$log" | tail -3
  if [ "$status" -ne 0 ] || [ "$(ls "$artifacts" | wc -l)" -ne "$before" ]; then
    tail -40 "$log"
    echo "FAILED: $target (exit $status). Reproducer(s):"
    ls -t "$artifacts"/* 2>/dev/null | head -5 | sed 's/^/  /'
    echo "  rerun: $build_dir/fuzz/${target}_fuzzer <reproducer>"
    failed+=("$target")
  fi
done

if [ "${#failed[@]}" -ne 0 ]; then
  echo "fuzzing found faults in: ${failed[*]}"
  exit 1
fi
echo "fuzzing: no faults"
