#!/usr/bin/env bash
# orvane-batch under an address-space limit (prlimit --as, 1 GiB unless LIMIT_MIB says
# otherwise) on runs that need more: each must end with its message and exit status 1
# (2 when refused before the run), never with a signal (an abort, the OOM killer). The
# quick cases run in ctest (tests/batch/memory_limits_test.cpp); these take minutes and
# a survey file of 434 MB.
#
#   bench/memory_limits.sh BATCH FOLDER
#
# Writes a 10-million-station survey into FOLDER (deleted at the end with everything
# else written there) and prints one line a case: status, peak RSS, wall time and the
# first line of the message. Ends with status 1 when any case ended otherwise than
# expected.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 BATCH FOLDER" >&2; exit 2; }
batch=$(realpath "$1")
dir=$2
limit=$(( ${LIMIT_MIB:-1024} << 20 ))
examples=$(cd "$(dirname "$0")/../examples" && pwd)
mkdir -p "$dir"
trap 'rm -rf "$dir"/survey_*.dat "$dir"/corners.dat "$dir"/out' EXIT

# Stations scattered over a square 100 m apart on average, in the column layout of
# bench/synthetic_survey.cpp (mawk's generator: the same on one machine, not across).
survey() {  # stations file
  [ -s "$2" ] && return
  echo "writing $2 ..." >&2
  awk -v n="$1" 'BEGIN { srand(20261209); side = 100 * sqrt(n); print "X Y POINT HEIGHT CBA"
    for (p = 1; p <= n; p++) { x = side * rand(); y = side * rand()
      h = 340 + 25 * sin(x / 700) * cos(y / 900) + 30 * rand()
      printf "%.2f %.2f %d %.2f %.5f\n", x, y, p, h, -12 + 0.0004 * x - 0.0002 * y + 0.002 * rand() } }' \
    > "$2"
}

# Runs the program under the limit; prints status, peak RSS of the child and wall time.
measured() {  # log command...
  python3 - "$@" <<'PY'
import resource, subprocess, sys, time
start = time.monotonic()
with open(sys.argv[1], "w") as log:
    status = subprocess.call(sys.argv[2:], stdout=subprocess.DEVNULL, stderr=log)
peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
print(status, peak, "%.1f" % (time.monotonic() - start))
PY
}

failures=0
check() {  # name expected-status expected-message orvane-batch arguments...
  local name=$1 expected=$2 message=$3
  shift 3
  rm -rf "$dir/out" && mkdir -p "$dir/out"
  local status peak seconds
  read -r status peak seconds < <(measured "$dir/out/log" prlimit --as="$limit" "$batch" -q "$@")
  local said
  said=$(grep -v '^No --crs given' "$dir/out/log" | head -n 1 || true)
  local verdict=ok
  if [ "$status" != "$expected" ] || { [ -n "$message" ] && ! grep -qF -- "$message" "$dir/out/log"; }; then
    verdict=UNEXPECTED
    failures=$((failures + 1))
  fi
  printf '%-11s %-28s exit %-4s peak RSS %5d MiB %7s s  %s\n' "$verdict" "$name" "$status" \
    $((peak / 1024)) "$seconds" "$said"
}

echo "orvane-batch under an address-space limit of $((limit >> 20)) MiB, $(date -u +%FT%TZ)"
survey 10000000 "$dir/survey_10m.dat"
head -n 4000001 "$dir/survey_10m.dat" > "$dir/survey_4m.dat"
head -n 1000001 "$dir/survey_10m.dat" > "$dir/survey_1m.dat"
printf '0 0 1 100 -10.5\n20000 0 2 101 -10.7\n0 20000 3 102 -10.2\n20000 20000 4 103 -10.9\n' \
  > "$dir/corners.dat"

check "10M stations" 1 "Error by allocating memory for data" \
  -r 300 "$dir/survey_10m.dat" "$dir/out/r.dat"
# 4M stations take about 790 MiB in all: their records 576 MB, the index under 50 MB.
check "4M stations" 0 "" \
  -r 300 "$dir/survey_4m.dat" "$dir/out/r.dat"
check "tiny radius, 20 km" 1 "Insufficent memory for creting temporary cluster" \
  -r 0.01 "$dir/corners.dat" "$dir/out/r.dat"
# The first million stations spread over the whole 316 km square: the index of radius
# 300 m has 111M cells (28 MB), a preview grid takes 444 MB; an export grid of 55 m cells
# passes the check before the run (33.1M of at most 33.5M nodes), and two of them gridded
# together, each written through a 264 MB copy, do not fit beside the run.
check "1M stations, previews" 0 "" \
  -r 300 --preview "$dir/out/maps" "$dir/survey_1m.dat" "$dir/out/r.dat"
check "1M stations, export cell 1" 2 "more than the memory allows" \
  -r 600 --export "$dir/out/gis" --cell 1 "$dir/survey_1m.dat" "$dir/out/r.dat"
check "1M stations, export cell 55" 1 "Not enough memory" \
  -r 600 --export "$dir/out/gis" --export-vars hgga,vgga --points-format none --cell 55 \
  "$dir/survey_1m.dat" "$dir/out/r.dat"
check "huge grid radius" 0 "" \
  -r 300 --grid-radius 1e300 --preview "$dir/out/maps" "$examples/sphere_survey.dat" "$dir/out/r.dat"

# Limits just above what the program's libraries take: every allocation of a whole run
# (threads, previews, export, station layer) meets a limit somewhere. Below some limits
# the libraries do not start: the dynamic loader fails to map one (status 127), or a
# library's own initialisation runs out before main (PROJ's ends in an abort). Such a
# limit, where even --help fails, is skipped.
sweep_failures=0
for mib in $(seq 156 2 260); do
  prlimit --as=$((mib << 20)) "$batch" --help > /dev/null 2>&1 || continue
  rm -rf "$dir/out" && mkdir -p "$dir/out"
  set +e
  prlimit --as=$((mib << 20)) "$batch" -q -r 300 -s tikhonov --threads 2 --iterations 1 \
    --preview "$dir/out/maps" --export "$dir/out/gis" --cell 10 \
    "$examples/sphere_survey.dat" "$dir/out/r.dat" 2> "$dir/out/log"
  status=$?
  set -e
  if [ "$status" -ne 0 ] && [ "$status" -ne 1 ]; then
    echo "UNEXPECTED  limit $mib MiB: exit $status $(head -n 1 "$dir/out/log")"
    sweep_failures=$((sweep_failures + 1))
  fi
done
echo "limits 156..260 MiB in steps of 2: $sweep_failures runs ended otherwise than with 0 or 1"
failures=$((failures + sweep_failures))
rm -rf "$dir/out"
[ "$failures" -eq 0 ]
