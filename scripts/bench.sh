#!/usr/bin/env bash
# Runs every benchmark program of a build folder, headless, with repetitions so
# medians can be quoted.
set -euo pipefail
dir=$1
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=offscreen
for b in "$dir"/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  # shellcheck disable=SC2086 # BENCH_ARGS holds extra flags, split on purpose
  "$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true ${BENCH_ARGS:-}
done
