#!/usr/bin/env bash
# Builds Orvane and starts its window. On a machine with no display it runs orvane-batch
# on a bundled example instead and says where the result went. Installs missing Debian
# packages first.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/ensure-packages.sh"
build="$top/build/release"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
  out="${TMPDIR:-/tmp}/orvane_sphere_result.dat"
  maps="${TMPDIR:-/tmp}/orvane_sphere_maps"
  "$build/batch/orvane-batch" -r 300 --preview "$maps" "$top/examples/sphere_survey.dat" "$out"
  echo "No display: ran orvane-batch on examples/sphere_survey.dat." >&2
  echo "Result written to $out, preview maps into $maps/" >&2
  exit 0
fi
exec "$build/app/orvane" "$@"
