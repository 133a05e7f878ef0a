#!/usr/bin/env bash
# Kills orvane-batch and the window with SIGKILL at random moments, a few hundred times,
# and checks after every kill that nothing a run reads or replaces was damaged:
#
#   - the survey, the subset and the settings file the runner reads: unchanged;
#   - the result file, the trace file, every preview map and every exported file: each
#     either the whole file of the run before or the whole file of the killed run;
#   - the window's settings file and its export choices: each one of the two whole
#     versions the window switches between at every close;
#   - whatever a kill left over (*.partial files, an export's hidden staging folder):
#     plainly partial, i.e. a result file's partial starts with "Unfinished:" where a
#     whole one has "Map:"; counted and removed.
#
# usage: scripts/kill-test.sh [-b BUILD_DIR] [-n KILLS] [-s SEED] [-k]
#   BUILD_DIR  a build with orvane-batch and window_close_driver [build/test]
#   KILLS      kills in all, about two thirds of them of orvane-batch [300]
#   SEED       seed of the random moments [1]
#   -k         keep the work folder
# Runs under nice -n 19 itself. Exit status 0 when every check passed.

# The whole script is one group, read before it runs, so that editing this file while a
# long run goes on cannot change what that run does.
{
set -euo pipefail
trap 'echo "kill-test.sh: line $LINENO failed (status $?)" >&2' ERR

build=build/test
kills=300
seed=1
keep=0
while getopts "b:n:s:k" option; do
    case $option in
        b) build=$OPTARG ;;
        n) kills=$OPTARG ;;
        s) seed=$OPTARG ;;
        k) keep=1 ;;
        *) sed -n '2,21p' "$0"; exit 2 ;;
    esac
done

renice -n 19 $$ >/dev/null
batch=$(realpath "$build/batch/orvane-batch")
driver=$(realpath "$build/tests/orvw/window_close_driver")
for tool in "$batch" "$driver"; do
    [[ -x $tool ]] || { echo "missing $tool: build it first" >&2; exit 2; }
done
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
RANDOM=$seed

work=$(mktemp -d "${TMPDIR:-/tmp}/orvane-kill-XXXXXX")
[[ $keep == 1 ]] || trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL (kill $kill): $*" >&2
    failures=$((failures + 1))
}
digest() { sha256sum "$1" | cut -d' ' -f1; }
# Sleeps a random time of 0 .. $1 milliseconds. No command substitution: run while a
# background job may end, one made bash 5.2 fail to parse its own text now and then.
pause_random_ms() {
    local ms=$(((RANDOM * 32768 + RANDOM) % ($1 + 1))) seconds
    printf -v seconds '%d.%03d' $((ms / 1000)) $((ms % 1000))
    sleep "$seconds"
}

# ---------------------------------------------------------------- the runner's files
# 20000 stations over a buried sphere's anomaly, the subset every 500th of them.
awk 'BEGIN {
    for (i = 0; i < 200; ++i) for (k = 0; k < 100; ++k) {
        x = 20 * i; y = 20 * k; dx = x - 2000; dy = y - 1000;
        printf "%d %d %d %.3f %.6f\n", x, y, 100 * i + k + 1, (i * 7 + k * 3) % 23,
               -2e7 / (dx * dx + dy * dy + 250000) ^ 1.5 * 500;
    } }' >"$work/survey.dat"
awk 'NR % 500 == 0' "$work/survey.dat" >"$work/subset.dat"
mkdir -p "$work/window"
"$driver" "$work/window/orvane.cfg" 1  # a settings file for the runner to read
cp "$work/window/orvane.cfg" "$work/runner.cfg"
rm -f "$work/window/"*

# Two runs whose every file differs (radius 300 or 320); the kills alternate at random.
radius=(300 320)
batch_arguments() {  # variant
    arguments=(-q --threads 1 --settings "$work/runner.cfg" -r "${radius[$1]}"
        -t linear4 -s tikhonov --subset "$work/subset.dat"
        --preview "$work/run/previews" --export "$work/run/export"
        --export-vars hgga,tilt --grid-format dsaa --points-format csv
        "$work/survey.dat" "$work/run/result.dat")
}
replaced_files() {  # what a run replaces, relative to $work
    (cd "$work" && find run survey_trace_out.dat -type f ! -name '*.partial' \
        ! -path '*/.orvane-export-*' | sort)
}
declare -A reference
mkdir -p "$work/run"
for variant in 0 1; do
    start=$(date +%s%N)
    batch_arguments "$variant"
    "$batch" "${arguments[@]}" >/dev/null 2>&1 || { echo "reference run $variant failed" >&2; exit 1; }
    cp "$work/run/result.dat" "$work/reference_result_$variant.dat"
    run_ms=$((($(date +%s%N) - start) / 1000000))
    for name in $(replaced_files); do reference[$variant:$name]=$(digest "$work/$name"); done
done
names=$(replaced_files)
# The variant each replaced file holds now. A preview map's name holds the radius, so
# each variant has maps of its own, which the other's runs leave alone.
declare -A state
for name in $names; do
    if [[ -n ${reference[1:$name]-} ]]; then state[$name]=1; else state[$name]=0; fi
done
read_digests="$(digest "$work/survey.dat") $(digest "$work/subset.dat") $(digest "$work/runner.cfg")"
echo "runner: $(wc -l <"$work/survey.dat") stations, a whole run takes $run_ms ms here"

# Partial files left by a kill: a result's must say it is unfinished in its first line,
# and hold the killed run's rows after it, only cut short.
declare -A leftovers=([result]=0 [trace]=0 [picture]=0 [settings]=0 [staging]=0)
sweep_leftovers() {  # the killed run's variant, for a runner's kill
    local file size header
    while IFS= read -r -d '' file; do
        case $file in
            */result.dat.??????.partial)
                leftovers[result]=$((leftovers[result] + 1))
                size=$(stat -c %s "$file")
                header=$(head -n 1 "$work/reference_result_$1.dat" | wc -c)
                if ((size > 0)) && [[ $(head -c 11 "$file") != Unfinished: ]]; then
                    fail "$file does not start with Unfinished:"
                elif ((size > header)) && ! cmp -s -i "$header:$header" -n $((size - header)) \
                    "$file" "$work/reference_result_$1.dat"; then
                    fail "$file holds other rows than its run's"
                fi ;;
            */survey_trace_out.dat.??????.partial) leftovers[trace]=$((leftovers[trace] + 1)) ;;
            */previews/*.??????.partial) leftovers[picture]=$((leftovers[picture] + 1)) ;;
            */window/orvane.cfg.??????.partial) leftovers[settings]=$((leftovers[settings] + 1)) ;;
            *) fail "unexpected partial file $file" ;;
        esac
        rm -f "$file"
    done < <(find "$work" -name '*.partial' -print0)
    while IFS= read -r -d '' file; do
        leftovers[staging]=$((leftovers[staging] + 1))
        rm -rf "$file"
    done < <(find "$work/run/export" -maxdepth 1 -name '.orvane-export-*' -print0)
}

check_batch() {  # the killed run's variant
    local name now
    [[ "$(digest "$work/survey.dat") $(digest "$work/subset.dat") $(digest "$work/runner.cfg")" == \
        "$read_digests" ]] || fail "a file the run reads changed"
    local export_variants=""
    for name in $names; do
        [[ -f $work/$name ]] || { fail "$name is gone"; continue; }
        now=$(digest "$work/$name")
        if [[ $now == "${reference[$1:$name]-none}" ]]; then
            state[$name]=$1
        elif [[ $now != "${reference[${state[$name]}:$name]}" ]]; then
            fail "$name is neither the old nor the new whole file"
        fi
        # A file both runs write alike (a side file) tells no run from the other.
        if [[ $name == run/export/* && ${reference[0:$name]} != "${reference[1:$name]}" ]]; then
            export_variants+="${state[$name]}"
        fi
    done
    if [[ $export_variants == *0* && $export_variants == *1* ]]; then
        mixed_exports=$((mixed_exports + 1))
    fi
    sweep_leftovers "$1"
}

# ---------------------------------------------------------------- the window's files
"$driver" "$work/window/orvane.cfg" 1
settings_a=$(digest "$work/window/orvane.cfg")
choices_a=$(digest "$work/window/orvane_export.ini")
"$driver" "$work/window/orvane.cfg" 1
settings_b=$(digest "$work/window/orvane.cfg")
choices_b=$(digest "$work/window/orvane_export.ini")
[[ $settings_a != "$settings_b" && $choices_a != "$choices_b" ]] ||
    { echo "the driver does not switch its settings" >&2; exit 1; }
start=$(date +%s%N)
"$driver" "$work/window/orvane.cfg" 20
close_ms=$((($(date +%s%N) - start) / 20000000))
echo "window: a start and close takes $close_ms ms here"

check_window() {
    local now
    [[ -f $work/window/orvane.cfg && -f $work/window/orvane_export.ini ]] ||
        { fail "a window file is gone"; return; }
    now=$(digest "$work/window/orvane.cfg")
    [[ $now == "$settings_a" || $now == "$settings_b" ]] ||
        fail "settings file is neither whole version ($(stat -c %s "$work/window/orvane.cfg") bytes)"
    now=$(digest "$work/window/orvane_export.ini")
    [[ $now == "$choices_a" || $now == "$choices_b" ]] || fail "export choices are neither whole version"
    sweep_leftovers none
    # Qt's own leftovers: the lock of a killed writer (left for the next start to take
    # over, as its process is gone; the driver ends with an error when it cannot) and
    # QSaveFile's temporary file.
    [[ -e $work/window/orvane_export.ini.lock ]] && stale_locks=$((stale_locks + 1))
    qt_leftovers=$((qt_leftovers + $(find "$work/window" -name 'orvane_export.ini?*' \
        ! -name '*.lock' | wc -l)))
    find "$work/window" -name 'orvane_export.ini?*' ! -name '*.lock' -delete
}

# ---------------------------------------------------------------- the kills
batch_kills=0
batch_finished=0
window_kills=0
mixed_exports=0
qt_leftovers=0
stale_locks=0
started=$(date +%s)
for ((kill = 1; kill <= kills; ++kill)); do
    if ((RANDOM % 3 != 0)); then
        variant=$((RANDOM % 2))
        batch_arguments "$variant"
        "$batch" "${arguments[@]}" >/dev/null 2>&1 &
        pid=$!
        pause_random_ms $((run_ms * 6 / 5))
        kill -KILL "$pid" 2>/dev/null || true
        status=0
        wait "$pid" 2>/dev/null || status=$?
        case $status in
            0) batch_finished=$((batch_finished + 1)) ;;
            137) batch_kills=$((batch_kills + 1)) ;;
            *) fail "orvane-batch ended with status $status" ;;
        esac
        check_batch "$variant"
    else
        "$driver" "$work/window/orvane.cfg" 1000000 &
        pid=$!
        pause_random_ms 1000
        kill -KILL "$pid" 2>/dev/null || true
        status=0
        wait "$pid" 2>/dev/null || status=$?
        if ((status == 137)); then
            window_kills=$((window_kills + 1))
        else
            fail "window_close_driver ended with status $status"
        fi
        check_window
    fi
    if ((kill % 50 == 0)); then
        echo "after $kill kills: $failures failed checks, $(($(date +%s) - started)) s"
    fi
done
# Only the script's own process may report: a forked copy of it must never get here.
[[ $BASHPID == "$$" ]] || { echo "kill-test.sh: a forked copy reached the end" >&2; exit 3; }

echo "kills: $batch_kills of orvane-batch (and $batch_finished runs that ended before their" \
    "kill), $window_kills of the window driver, in $(($(date +%s) - started)) s"
echo "left over and removed: partial files of ${leftovers[result]} results," \
    "${leftovers[trace]} trace files, ${leftovers[picture]} preview maps and" \
    "${leftovers[settings]} settings files; ${leftovers[staging]} export staging folders;" \
    "$qt_leftovers temporary files of Qt's; $stale_locks stale locks of the export choices"
echo "checks that found an export with files of both runs (a kill during its renames):" \
    "$mixed_exports"
if ((failures > 0)); then
    echo "$failures checks FAILED" >&2
    exit 1
fi
echo "every check passed"
exit 0
}
