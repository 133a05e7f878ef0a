#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time (60 s by default)
# or number of executions from its committed seed corpus. New inputs go to a working
# corpus in the build folder, which later runs start from, so that a campaign adds up
# over runs; crashes and hangs go to its artifacts folder; the committed corpus is only
# read.
#
#   fuzz/run.sh                  every target, 60 s each
#   fuzz/run.sh -t 300 point_reader result_loader
#   fuzz/run.sh -n 1000000 run   a million executions
#
# Environment: ORVANE_FUZZ_BUILD (build folder, default build/fuzz), JOBS (make jobs).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
limit=(-max_total_time=60)
if [[ "${1:-}" == "-t" ]]; then
  limit=(-max_total_time="$2")
  shift 2
elif [[ "${1:-}" == "-n" ]]; then
  limit=(-runs="$2")
  shift 2
fi
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  targets=(point_reader column_parser result_loader run settings_codec batch_options
           export_options crs_text)
fi

build=${ORVANE_FUZZ_BUILD:-$top/build/fuzz}
cmake -S "$top" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DORVANE_FUZZ=ON \
  -DORVANE_WITH_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"${JOBS:-$(nproc)}" --target orvane_fuzz_targets

status=0
for name in "${targets[@]}"; do
  work="$build/fuzz/work/$name"
  artifacts="$build/fuzz/artifacts/$name/"
  mkdir -p "$work" "$artifacts"
  # -timeout: an input that takes longer counts as a hang; -rss_limit_mb: one that needs
  # more memory counts as a fault. A result file may ask for a cluster index of up to
  # 2^28 cells (1 GiB), which the instrumented build takes several seconds to lay out.
  timeout=10 rss=2048
  if [[ $name == result_loader ]]; then timeout=60 rss=4096; fi
  echo "== fuzz_$name: ${limit[*]}"
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      "$build/fuzz/fuzz_$name" "${limit[@]}" -timeout=$timeout -rss_limit_mb=$rss \
      -artifact_prefix="$artifacts" -print_final_stats=1 \
      "$work" "$top/fuzz/corpus/$name" 2>"$build/fuzz/$name.log"; then
    echo "fuzz_$name FAILED: see $build/fuzz/$name.log and $artifacts"
    status=1
  fi
  grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb|^#[0-9]+.*DONE" \
    "$build/fuzz/$name.log" || true
done
exit $status
