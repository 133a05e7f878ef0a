#!/usr/bin/env bash
# Builds Orvane and starts it. Installs missing Debian packages first.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/ensure-packages.sh"
build="$top/build/release"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)"
if [ -x "$build/app/orvane" ]; then
  exec "$build/app/orvane" "$@"
fi
echo "Orvane's engine is built; the window is not part of this build yet." >&2
