#!/usr/bin/env bash
# run-fuzzer.sh FUZZER SEEDS WORKDIR SECONDS [more libFuzzer flags]
# Runs a fuzz target for a bounded time from its seed corpus. New inputs go to
# WORKDIR/corpus, crashes to WORKDIR/artifacts; the seeds are left unchanged.
set -euo pipefail
fuzzer=$1 seeds=$2 work=$3 seconds=$4
shift 4
mkdir -p "$work/corpus" "$work/artifacts"
exec "$fuzzer" -max_total_time="$seconds" -malloc_limit_mb=256 -rss_limit_mb=2048 \
    -timeout=10 -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$@" \
    "$work/corpus" "$seeds"
