# Helpers shared by the process-level fault suites (run-faults.sh, run-odd-files.sh), which run
# kqconvert over small sites and check what it left behind: the environment of the test build,
# the work folder, failure counting, a file's metadata and state, and the results table.
#
# Sourced, not run: `source "$here/fault-lib.sh"`.
# shellcheck shell=bash

# shellcheck disable=SC2034 # the exit status of a suite that could not run here
readonly skip_status=77
readonly temporary_prefix=.kqwizard-tmp-

# The sanitizers of the test build: leak checking does not work under a tracer, and a sanitizer
# report must not pass for kqconvert's own exit status 1.
use_test_environment() {
    export ASAN_OPTIONS=detect_leaks=0:exitcode=86
    export UBSAN_OPTIONS=halt_on_error=1:exitcode=86
    export LC_ALL=C.UTF-8
}

# ---------------------------------------------------------------------------------------------
# The work folder

# Mount points inside the work folder, unmounted before it is removed.
mounted=()

# make_work_folder NAME: a fresh folder in $work, removed when the suite exits for any reason.
make_work_folder() {
    work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX") || exit 1
    trap remove_work_folder EXIT
}

remove_work_folder() {
    local point
    for point in "${mounted[@]}"; do
        umount "$point" 2>/dev/null || umount -l "$point" 2>/dev/null
    done
    rm -rf "$work"
}

# ---------------------------------------------------------------------------------------------
# Checks

is_root() { (($(id -u) == 0)); }

# Mode and owner of a file, as one word.
metadata() { stat -c '%a:%u:%g' "$1"; }

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# state_between FILE OLD NEW: old when FILE holds exactly the bytes of OLD, new when it holds
# exactly those of NEW, garbled otherwise.
state_between() {
    local file=$1 old=$2 new=$3
    if cmp -s "$file" "$old"; then
        echo old
    elif cmp -s "$file" "$new"; then
        echo new
    else
        echo garbled
    fi
}

# check_no_sanitizer_report LABEL OUTPUT
check_no_sanitizer_report() {
    local label=$1 output=$2
    if grep -q Sanitizer <<<"$output"; then
        fail "$label: a sanitizer report: $output"
    fi
}

# check_no_temporaries LABEL FOLDER...: no temporary file of kqconvert in or below the folders.
check_no_temporaries() {
    local label=$1
    shift
    local leftovers
    leftovers=$(find "$@" -name "$temporary_prefix*")
    [[ -z $leftovers ]] || fail "$label: temporary file left: $leftovers"
}

# ---------------------------------------------------------------------------------------------
# The results table: per fault, the runs, the scripts checked after them, and the scripts found
# holding bytes that are neither old nor new.

declare -A family_runs=() family_checked=() family_lost=()
families=()

# count_run FAMILY: one more run of FAMILY (the first one adds its row to the table).
count_run() {
    local family=$1
    [[ -v family_runs[$family] ]] || families+=("$family")
    family_runs[$family]=$((${family_runs[$family]:-0} + 1))
}

# count_checked FAMILY [N]: N more scripts checked (1 by default).
count_checked() {
    family_checked[$1]=$((${family_checked[$1]:-0} + ${2:-1}))
}

# count_lost FAMILY N: N more scripts found garbled.
count_lost() {
    family_lost[$1]=$((${family_lost[$1]:-0} + $2))
}

print_table() {
    local family width=22
    for family in "${families[@]}"; do
        ((${#family} <= width)) || width=${#family}
    done
    echo
    printf "%-${width}s %6s %16s %11s\n" fault runs "scripts checked" "bytes lost"
    local total_runs=0 total_checked=0 total_lost=0
    for family in "${families[@]}"; do
        printf "%-${width}s %6d %16d %11d\n" "$family" "${family_runs[$family]}" \
            "${family_checked[$family]:-0}" "${family_lost[$family]:-0}"
        total_runs=$((total_runs + family_runs[$family]))
        total_checked=$((total_checked + ${family_checked[$family]:-0}))
        total_lost=$((total_lost + ${family_lost[$family]:-0}))
    done
    printf "%-${width}s %6d %16d %11d\n" total "$total_runs" "$total_checked" "$total_lost"
    echo
    echo "bytes lost: scripts holding neither their old nor their converted bytes."
}

# finish_suite: the table and the verdict; exits 1 when a check failed, 0 otherwise.
finish_suite() {
    print_table
    if ((failures > 0)); then
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "all checks held"
    exit 0
}
