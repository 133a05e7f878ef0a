#!/usr/bin/env bash
# Writes the three preview maps of the same runs with two orvane-batch programs, as
# Surfer grids of the node values, bitmaps and JPEG files, and compares them byte for
# byte: the examples with several search and gridding radii, tendencies and thread
# counts, and each extra survey file given (search radius 300, gridding radius 300 and
# 1000).
#
#   bench/compare_previews.sh OLD_BATCH NEW_BATCH FOLDER [SURVEY.dat...]
set -euo pipefail
[ $# -ge 3 ] || { echo "usage: $0 OLD_BATCH NEW_BATCH FOLDER [SURVEY.dat...]" >&2; exit 2; }
old=$1 new=$2 out=$3
shift 3
examples=$(cd "$(dirname "$0")/../examples" && pwd)

run() {  # program side name input radius grid tendency vars threads
  local program=$1 side=$2 name=$3 input=$4 radius=$5 grid=$6 tendency=$7 vars=$8 threads=$9
  for format in grd bmp jpg; do
    local dir="$out/$side/$name/$format"
    mkdir -p "$dir"
    "$program" "$input" "$out/$side/result.dat" -q -r "$radius" --grid-radius "$grid" \
      -t "$tendency" --preview-vars "$vars" --threads "$threads" --preview "$dir" \
      --preview-format "$format" >/dev/null
  done
}

cases() {  # program side
  run "$1" "$2" ex300 "$examples/sphere_survey.dat" 300 300 linear4 CBA,HGGAX,VGGA 1
  run "$1" "$2" ex300g150 "$examples/sphere_survey.dat" 300 150 linear4 HEIGHT,HGGA,LGA 0
  run "$1" "$2" ex300g700 "$examples/sphere_survey.dat" 300 700 linear3 CBA,ASIG,TILT 0
  run "$1" "$2" ex300g3000 "$examples/sphere_survey.dat" 300 3000 linear4 CBA,RGA,TILT 2
  run "$1" "$2" ex120 "$examples/sphere_survey.dat" 120 120 quadratic CBA,COEFF_3,COEFF_9 0
  run "$1" "$2" lines300 "$examples/sphere_lines.xyz" 300 300 linear4 CBA,HGGAX,HGGAY 1
  run "$1" "$2" lines100 "$examples/sphere_lines.xyz" 100 333 linear6 HEIGHT,COEFF_0,COEFF_5 0
  local n=0
  for survey in "${extra[@]}"; do
    n=$((n + 1))
    run "$1" "$2" "survey$n" "$survey" 300 300 linear4 CBA,HGGAX,VGGA 0
    run "$1" "$2" "survey${n}g" "$survey" 300 1000 linear4 HEIGHT,HGGA,TILT 0
  done
}

extra=("$@")
rm -rf "$out/old" "$out/new"
cases "$old" old
cases "$new" new
rm -f "$out/old/result.dat" "$out/new/result.dat"
if diff -rq "$out/old" "$out/new"; then
  echo "$(find "$out/new" -type f | wc -l) files, all the same bytes"
else
  exit 1
fi
