#!/usr/bin/env bash
# Builds Orvane and runs every test: the normal build (window included), its runner's
# files compared with those of a clang build, then a second build of the GUI-free tests
# under AddressSanitizer and UndefinedBehaviorSanitizer, then the fuzz targets (clang,
# libFuzzer) replaying their committed corpora once.
# Installs missing Debian packages first.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/ensure-packages.sh"
jobs=$(nproc)

build="$top/build/test"
# The benchmarks are built (not run) so that they keep compiling with the code they time.
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_WITH_BENCH=ON >/dev/null
cmake --build "$build" -j"$jobs"
(cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs")

# The same bytes from another compiler: orvane-batch alone built by clang, its files
# compared with those of the build above on the reference cases, the examples and the
# failing runs.
clang_build="$top/build/clang"
cmake -S "$top" -B "$clang_build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Release \
  -DORVANE_WITH_GUI=OFF >/dev/null
cmake --build "$clang_build" -j"$jobs" --target orvane-batch
COMPARE_QUICK=1 "$top/scripts/compare-outputs.sh" "$build/batch/orvane-batch" \
  "$clang_build/batch/orvane-batch"

asan="$top/build/asan"
cmake -S "$top" -B "$asan" -DCMAKE_BUILD_TYPE=Debug -DORVANE_SANITIZE=ON -DORVANE_WITH_GUI=OFF >/dev/null
cmake --build "$asan" -j"$jobs"
(cd "$asan" && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure -j"$jobs")

fuzz="$top/build/fuzz"
cmake -S "$top" -B "$fuzz" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVANE_FUZZ=ON -DORVANE_WITH_GUI=OFF >/dev/null
cmake --build "$fuzz" -j"$jobs" --target orvane_fuzz_targets
(cd "$fuzz" && ctest --output-on-failure -L fuzz)
