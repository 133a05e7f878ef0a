#!/bin/sh
# The window monkey for longer than CI gives it: SECONDS_EACH seconds (default 60) for
# each of SEEDS seeds (default 10, from FIRST_SEED, default 1), one process a seed, at the
# lowest priority. Prints each seed's tally and ends non-zero if any seed failed; a failed
# seed's output is kept in $TMPDIR/orvane-monkey-SEED.log.
#
#   bench/window_monkey.sh [BUILD_DIR]     (default build/test)
set -u
build=${1:-build/test}
binary="$build/tests/orvw/window_monkey_test"
seeds=${SEEDS:-10}
first=${FIRST_SEED:-1}
each=${SECONDS_EACH:-60}
logs=${TMPDIR:-/tmp}
if [ ! -x "$binary" ]; then
    echo "no $binary: build the target window_monkey_test first" >&2
    exit 2
fi
failed=0
seed=$first
while [ "$seed" -lt $((first + seeds)) ]; do
    log="$logs/orvane-monkey-$seed.log"
    if QT_QPA_PLATFORM=offscreen ORVANE_MONKEY_SEED=$seed ORVANE_MONKEY_SECONDS=$each \
        nice -n 19 "$binary" >"$log" 2>&1; then
        printf 'seed %s: ok   %s\n' "$seed" "$(grep -o '[0-9]* steps,.*' "$log")"
        rm -f "$log"
    else
        printf 'seed %s: FAILED, see %s\n' "$seed" "$log"
        grep -A3 'FAIL' "$log" | head -8
        failed=1
    fi
    seed=$((seed + 1))
done
exit $failed
