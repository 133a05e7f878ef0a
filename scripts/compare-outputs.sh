#!/usr/bin/env bash
# Shows that a refactoring or a speed-up of orvane-batch left every output byte unchanged.
#
#   scripts/compare-outputs.sh OLD_BATCH_EXE NEW_BATCH_EXE [WORKDIR]
#
# Runs both executables on the same spread of configurations and compares, with cmp, their
# exit status, stdout, stderr and every file each run leaves in its folder: the result file,
# the trace file (<input-stem>_trace_out.dat beside the input), the preview maps, and the
# copied inputs themselves. The spread:
#   - every trend model x solver x search mode x iterations 0 and 2 x without and with a
#     trace subset x threads 1 and 2, centring rotating, previews (bmp or grd) in every other;
#   - the Geosoft XYZ lines file with each trend model;
#   - the five reference cases with their own settings (threads 1 and 2);
#   - runs that fail, in part or whole (their messages and exit status must match too);
#   - 40 random picks from the whole option space, from a fixed seed (the same on every run).
# Each executable runs in a folder of its own under the same relative file names, so the
# names written into headers and messages are equal.
#
# COMPARE_QUICK=1 keeps every eighth run of the first group and 8 random picks (64
# configurations instead of 306), for a check in CI.
#
# Prints one line per mismatch and finally "N passed, M failed" (counting configurations);
# exits 1 on any mismatch, 2 on wrong usage. With WORKDIR every run's folder is kept there
# (CASE/old, CASE/new, CASE/{old,new}.{out,err,rc}); without it a temporary folder is used
# and removed. COMPARE_TIMEOUT (seconds, default 60) limits each single run.
set -euo pipefail

usage() {
    echo "usage: $0 OLD_BATCH_EXE NEW_BATCH_EXE [WORKDIR]" >&2
    exit 2
}
[[ $# -eq 2 || $# -eq 3 ]] || usage

top=$(cd "$(dirname "$0")/.." && pwd)
examples="$top/examples"
references="$top/tests/data/reference"
run_timeout=${COMPARE_TIMEOUT:-60}
quick=${COMPARE_QUICK:-}

absolute() { # the absolute path of an executable file
    local path=$1
    [[ $path == */* ]] || path=$(command -v -- "$path" || true)
    if [[ -z $path || ! -f $path || ! -x $path ]]; then
        echo "$0: '$1' is not an executable file" >&2
        exit 2
    fi
    echo "$(cd "$(dirname "$path")" && pwd)/$(basename "$path")"
}
old_exe=$(absolute "$1")
new_exe=$(absolute "$2")

for file in "$examples/sphere_survey.dat" "$examples/sphere_lines.xyz" \
    "$examples/sphere_subset.dat"; do
    [[ -f $file ]] || { echo "$0: missing $file" >&2; exit 2; }
done

if [[ $# -eq 3 ]]; then
    work=$3
    keep=yes
    mkdir -p "$work"
    work=$(cd "$work" && pwd)
    if [[ -n $(ls -A "$work") ]]; then
        echo "$0: WORKDIR '$work' is not empty" >&2
        exit 2
    fi
else
    keep=""
    work=$(mktemp -d "${TMPDIR:-/tmp}/orvane-compare.XXXXXX")
    trap 'rm -rf "$work"' EXIT
fi

# Files are written in the locale's number format: keep it the same for both.
export LC_ALL=C

passed=0
failed=0
case_count=0
declare -A old_status_count=()

# ---------------------------------------------------------------------------------------
# Running and comparing one configuration

# run_side SIDE EXE CASE_DIR INPUT SUBSET ARGS...: copies INPUT (and SUBSET as subset.dat)
# into CASE_DIR/SIDE and runs EXE there on it, writing result.dat. Run in the background:
# its cd stays in that subshell.
run_side() {
    local side=$1 exe=$2 case_dir=$3 input=$4 subset=$5
    shift 5
    local name=${input##*/} args=(-q "$@")
    cd "$case_dir/$side"
    [[ ! -e $input ]] || cp "$input" "$name"
    if [[ -n $subset ]]; then
        cp "$subset" subset.dat
        args+=(--subset subset.dat)
    fi
    local status=0
    timeout -k 5 "$run_timeout" "$exe" "${args[@]}" "$name" result.dat \
        </dev/null >"../$side.out" 2>"../$side.err" || status=$?
    echo "$status" >"../$side.rc"
}

# regular_files DIR: FILES becomes the regular files under DIR, relative to it, sorted
regular_files() {
    local file
    FILES=()
    for file in "$1"/**; do
        [[ -f $file && ! -L $file ]] && FILES+=("${file#"$1"/}")
    done
    return 0
}
shopt -s globstar dotglob nullglob

has_rows() { # has_rows FILE: FILE holds more than the two header lines of a result file
    local first=()
    [[ -f $1 ]] || return 1
    mapfile -n 3 first <"$1"
    [[ ${#first[@]} -eq 3 ]]
}

# compare_case ID EXPECT INPUT SUBSET ARGS...: runs both sides (at the same time) and
# compares them. EXPECT: "ok" (OLD must succeed and write rows), "partial" (the same, and
# OLD must report points without a row), a number (OLD's exit status must be it), or "any"
# (when OLD succeeds it must have written a result file).
compare_case() {
    local id=$1 expect=$2 input=$3 subset=$4
    shift 4
    local case_dir="$work/$id"
    local described="$* ${input##*/}${subset:+ --subset ${subset##*/}}"
    local problems=() old_pid new_pid

    mkdir -p "$case_dir/old" "$case_dir/new"
    run_side old "$old_exe" "$case_dir" "$input" "$subset" "$@" &
    old_pid=$!
    run_side new "$new_exe" "$case_dir" "$input" "$subset" "$@" &
    new_pid=$!
    wait "$old_pid"
    wait "$new_pid"

    local old_rc new_rc
    old_rc=$(<"$case_dir/old.rc")
    new_rc=$(<"$case_dir/new.rc")
    old_status_count[$old_rc]=$((${old_status_count[$old_rc]:-0} + 1))

    # The spread must be what it claims, or equal outputs prove little.
    case $expect in
    ok | partial)
        if [[ $old_rc != 0 ]]; then
            problems+=("OLD exited $old_rc where the run should succeed: $(head -c 200 "$case_dir/old.err")")
        elif ! has_rows "$case_dir/old/result.dat"; then
            problems+=("OLD wrote no result rows")
        elif [[ $expect == partial && ! -s $case_dir/old.err ]]; then
            problems+=("OLD reported no point without a row where some should have none")
        fi
        ;;
    any)
        [[ $old_rc != 0 || -f $case_dir/old/result.dat ]] ||
            problems+=("OLD succeeded without writing a result file")
        ;;
    *)
        [[ $old_rc == "$expect" ]] ||
            problems+=("OLD exited $old_rc where this run should end with $expect")
        ;;
    esac

    [[ $old_rc == "$new_rc" ]] || problems+=("exit status: old $old_rc, new $new_rc")

    # stdout, stderr, then every file of the run folders
    local pairs=(old.out new.out old.err new.err) file
    local -A in_new=()
    regular_files "$case_dir/new"
    for file in "${FILES[@]}"; do in_new[$file]=1; done
    regular_files "$case_dir/old"
    for file in "${FILES[@]}"; do
        if [[ -n ${in_new[$file]:-} ]]; then
            pairs+=("old/$file" "new/$file")
            unset 'in_new[$file]'
        else
            problems+=("only OLD wrote $file")
        fi
    done
    for file in "${!in_new[@]}"; do problems+=("only NEW wrote $file"); done
    local k
    for ((k = 0; k < ${#pairs[@]}; k += 2)); do
        if ! cmp -s "$case_dir/${pairs[k]}" "$case_dir/${pairs[k + 1]}"; then
            problems+=("$(cd "$case_dir" && { cmp "${pairs[k]}" "${pairs[k + 1]}" 2>&1 || true; })")
        fi
    done

    case_count=$((case_count + 1))
    if [[ ${#problems[@]} -eq 0 ]]; then
        passed=$((passed + 1))
        [[ -n $keep ]] || rm -rf "$case_dir"
    else
        failed=$((failed + 1))
        local problem
        for problem in "${problems[@]}"; do
            echo "MISMATCH $id: $problem   [$described]"
        done
    fi
}

# ---------------------------------------------------------------------------------------
# Option lists

tendencies=(linear3 linear4 linear6 quadratic nte-fay)
solvers=(gauss-jordan moore-penrose tikhonov)
centring_presets=(
    ""
    "--center-x mean --center-y mean --center-z point --center-cba none"
    "--center-x none --center-y none --center-z mean --center-cba point"
    "--center-x point --center-y point --center-z point --center-cba point"
)
survey="$examples/sphere_survey.dat"
survey_lines="$examples/sphere_lines.xyz"
subset="$examples/sphere_subset.dat"

# Entries the previews 2 and 3 may show, per trend model (preview 1: HEIGHT or CBA).
preview_entries() {
    case $1 in
    linear3) entries=(HGGAX HGGAY HGGA VGGA ASIG TILT) ;;
    linear4) entries=(HGGAX HGGAY HGGA VGGA RGA LGA ASIG TILT) ;;
    linear6) entries=(COEFF_{0..5}) ;;
    quadratic) entries=(COEFF_{0..9}) ;;
    nte-fay) entries=(HGGAX/GAX HGGAY/GAY HGGA/GAH VGGA/GAXX RGA/GAYY LGA/GAHH ASIG/RGA "TILT /LGA") ;;
    esac
}

# ---------------------------------------------------------------------------------------
# 1. Every trend model x solver x search mode x iterations x subset x threads

n=0
for ti in "${!tendencies[@]}"; do
    for si in "${!solvers[@]}"; do
        for mode in radius nearest; do
            for iterations in 0 2; do
                for with_subset in no yes; do
                    for threads in 1 2; do
                        n=$((n + 1))
                        [[ -z $quick || $((n % 8)) -eq 1 ]] || continue
                        args=(-t "${tendencies[ti]}" -s "${solvers[si]}" --iterations "$iterations"
                            --threads "$threads")
                        if [[ $mode == radius ]]; then
                            args+=(-r $((250 + 50 * ((ti + si) % 3))))
                        else
                            args+=(-r 300 --nearest $((ti < 3 ? 8 + 6 * si : 12 + 9 * si)))
                        fi
                        read -r -a centring <<<"${centring_presets[(n + ti) % 4]}"
                        args+=("${centring[@]}")
                        # previews in every other run, bitmap and grid by turns
                        case $(((n + ti + si) % 4)) in
                        0) args+=(--preview maps --preview-format bmp) ;;
                        2) args+=(--preview maps --preview-format grd) ;;
                        esac
                        trace=""
                        [[ $with_subset == no ]] || trace=$subset
                        printf -v id 'grid%03d' "$n"
                        compare_case "$id" ok "$survey" "$trace" "${args[@]}"
                    done
                done
            done
        done
    done
done

# ---------------------------------------------------------------------------------------
# 2. The Geosoft XYZ lines file (columns A..E as in the Surfer file)

for ti in "${!tendencies[@]}"; do
    args=(-t "${tendencies[ti]}" -s "${solvers[ti % 3]}" -r 250 --threads 2
        --preview maps --preview-format "$([[ $ti -eq 2 ]] && echo jpg || echo grd)")
    ((ti % 2 == 0)) || args+=(--nearest 15)
    compare_case "lines-${tendencies[ti]}" ok "$survey_lines" "" "${args[@]}"
done
compare_case lines-columns-subset ok "$survey_lines" "$subset" \
    --columns A,B,C,D,E -t linear4 -s tikhonov -r 300 --iterations 2 --threads 1 --preview maps

# ---------------------------------------------------------------------------------------
# 3. The reference cases, with the options their settings.json gives

json_field() { # json_field FILE NAME: the value of a top-level field of a flat JSON file
    sed -n "s/^[[:space:]]*\"$2\"[[:space:]]*:[[:space:]]*\"\{0,1\}\([^\",]*\)\"\{0,1\}[[:space:]]*,\{0,1\}[[:space:]]*$/\1/p" "$1"
}
letters=(A B C D E F G H I J K L M N O P Q R S T U V W X Y Z)
declare -A ref=()
for folder in "$references"/*/; do
    json="$folder/settings.json"
    [[ -f $json ]] || continue
    for key in input_file subset_file search_radius nearest_count search_mode tendency solver \
        iterations iteration_object alpha sv_threshold min_alpha max_alpha sequence_quotient \
        centering_x centering_y centering_z centering_cba include_calc_point \
        column_x column_y column_point column_height column_cba; do
        ref[$key]=$(json_field "$json" "$key")
        if [[ -z ${ref[$key]} && $key != subset_file ]]; then
            echo "$0: no $key in $json" >&2
            exit 2
        fi
    done
    columns=""
    for key in column_x column_y column_point column_height column_cba; do
        columns+=${columns:+,}${letters[ref[$key]]}
    done
    args=(-r "${ref[search_radius]}" -t "${ref[tendency]}" -s "${ref[solver]}"
        --iterations "${ref[iterations]}" --alpha "${ref[alpha]}"
        --threshold "${ref[sv_threshold]}" --min-alpha "${ref[min_alpha]}"
        --max-alpha "${ref[max_alpha]}" --quotient "${ref[sequence_quotient]}"
        --center-x "${ref[centering_x]}" --center-y "${ref[centering_y]}"
        --center-z "${ref[centering_z]}" --center-cba "${ref[centering_cba]}"
        --columns "$columns")
    [[ ${ref[iteration_object]} != 1 ]] || args+=(--object LGA)
    [[ ${ref[search_mode]} != 1 ]] || args+=(--nearest "${ref[nearest_count]}")
    [[ ${ref[include_calc_point]} != true ]] || args+=(--include-calc-point)
    ref_subset=${ref[subset_file]:+$folder${ref[subset_file]}}
    name=$(basename "$folder")
    compare_case "ref-$name-t1" ok "$folder${ref[input_file]}" "$ref_subset" \
        "${args[@]}" --threads 1
    compare_case "ref-$name-t2" ok "$folder${ref[input_file]}" "$ref_subset" \
        "${args[@]}" --threads 2 --preview maps
done

# ---------------------------------------------------------------------------------------
# 4. Runs that fail, in part (points without a row, listed on stderr) or whole: the
#    messages and the exit status must stay the same
compare_case skip-few-neighbours partial "$survey" "" -t linear4 -s gauss-jordan -r 300 --nearest 3
compare_case skip-small-radius partial "$survey" "" -t linear3 -s gauss-jordan -r 100 --threads 2

compare_case fail-tiny-radius 1 "$survey" "" -r 1e-5
compare_case fail-nearest-too-many 1 "$survey" "" -r 300 --nearest 5000
compare_case fail-min-alpha-zero 2 "$survey" "" -r 300 -s tikhonov --min-alpha 0
compare_case fail-too-many-alphas 2 "$survey" "" -r 300 -s tikhonov --quotient 1.0000001
compare_case fail-preview-entry 2 "$survey" "" -r 300 --preview maps --preview-vars CBA,FOO,HGGAX
compare_case fail-singular-stop 1 "$survey" "" -r 120 -t quadratic -s gauss-jordan --on-failed stop
compare_case fail-no-column 1 "$survey" "" -r 300 --columns G,B,C,D,E
compare_case fail-no-input 1 "$work/no-such-survey.dat" "" -r 300

# ---------------------------------------------------------------------------------------
# 5. Seeded random picks from the whole option space

seed=40
random_count=$([[ -n $quick ]] && echo 8 || echo 40)
rng=$seed
roll() { # roll N: REPLY becomes a number 0..N-1 (a fixed linear congruential sequence)
    rng=$(((rng * 1103515245 + 12345) % 2147483648))
    REPLY=$(((rng >> 16) % $1))
}
choose() { # choose WORD...: REPLY becomes one of the words
    roll $#
    local words=("$@")
    REPLY=${words[REPLY]}
}

for ((i = 1; i <= random_count; i++)); do
    args=()
    input=$survey
    roll 10; [[ $REPLY -lt 8 ]] || input=$survey_lines
    roll 5; tendency=${tendencies[REPLY]}; t_index=$REPLY
    roll 3; s_index=$REPLY
    roll 5  # names or their numbers
    if [[ $REPLY -eq 0 ]]; then args+=(-t "$t_index" -s "$s_index"); else
        args+=(--tendency "$tendency" --solver "${solvers[s_index]}"); fi
    roll 301; radius=$((100 + REPLY))
    roll 2; [[ $REPLY -eq 0 ]] || radius+=.5
    args+=(-r "$radius")
    roll 2; [[ $REPLY -eq 0 ]] || { roll 28; args+=(--nearest $((3 + REPLY))); }
    choose 0 0 1 2 3; args+=(--iterations "$REPLY")
    choose RGA LGA; args+=(--object "$REPLY")
    choose 0.01 0.05 0.2 1; args+=(--alpha "$REPLY")
    roll 2; [[ $REPLY -eq 0 ]] || { choose 0 0.5 5 50; args+=(--threshold "$REPLY"); }
    roll 5
    if [[ $REPLY -lt 2 ]]; then
        choose 1e-10 1e-6 0.001; args+=(--min-alpha "$REPLY")
        choose 1e3 1e4 1e10; args+=(--max-alpha "$REPLY")
        choose 1.5 2 3.5 10; args+=(--quotient "$REPLY")
    fi
    for axis in x y z cba; do
        roll 5; [[ $REPLY -ge 3 ]] || { choose none mean point; args+=("--center-$axis" "$REPLY"); }
    done
    roll 4; [[ $REPLY -ne 0 ]] || args+=(--include-calc-point)
    roll 3; [[ $REPLY -ne 0 ]] || args+=(--on-failed stop)
    roll 7; [[ $REPLY -ne 0 ]] || { choose A,B,C,D,E B,A,C,D,E; args+=(--columns "$REPLY"); }
    choose 0 1 2; args+=(--threads "$REPLY")
    roll 5
    if [[ $REPLY -ge 2 ]]; then
        choose bmp grd jpg; args+=(--preview maps --preview-format "$REPLY")
        roll 3
        if [[ $REPLY -eq 0 ]]; then
            preview_entries "$tendency"
            choose HEIGHT CBA; vars=$REPLY
            choose "${entries[@]}"; vars+=,$REPLY
            choose "${entries[@]}"; vars+=,$REPLY
            args+=(--preview-vars "$vars")
        fi
        roll 3; [[ $REPLY -ne 0 ]] || { roll 351; args+=(--grid-radius $((150 + REPLY))); }
    fi
    trace=""
    roll 5; [[ $REPLY -ge 2 ]] || trace=$subset
    printf -v id 'random%02d' "$i"
    compare_case "$id" any "$input" "$trace" "${args[@]}"
done

# ---------------------------------------------------------------------------------------

summary=""
for status in $(printf '%s\n' "${!old_status_count[@]}" | sort -n); do
    summary+=" $status: ${old_status_count[$status]},"
done
echo "$case_count configurations; exit status of OLD (status: runs):${summary%,}"
[[ $# -eq 3 ]] && echo "run folders kept in $work"
echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
