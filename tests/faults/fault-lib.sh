# Helpers shared by the process-level fault suites (run-faults.sh, run-odd-files.sh), which run
# kqconvert over small sites and check what it left behind.
#
# Sourced, not run: `source "$here/fault-lib.sh"`.
# shellcheck shell=bash

# shellcheck disable=SC2034 # the exit status of a suite that could not run here
readonly skip_status=77
readonly temporary_prefix=.kqwizard-tmp-
readonly demo_site=$here/../../examples/demo-site

# The sanitizers of the test build: leak checking does not work under a tracer, and a sanitizer
# report must not pass for kqconvert's own exit status 1.
export ASAN_OPTIONS=detect_leaks=0:exitcode=86
export UBSAN_OPTIONS=halt_on_error=1:exitcode=86
export LC_ALL=C.UTF-8

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# finish_suite: exits 1 when a check failed, 0 otherwise.
finish_suite() {
    ((failures == 0)) || { echo "$failures check(s) failed"; exit 1; }
    echo "all checks held"
    exit 0
}

is_root() { (($(id -u) == 0)); }

# shellcheck source=SCRIPTDIR/../support/scratch-folder.sh
source "$here/../support/scratch-folder.sh"

# make_work_folder NAME: the suite's scratch folder in $work, removed (what is mounted in it
# first) when the suite exits for any reason.
mounted=()
make_work_folder() {
    scratch_folder "$1"
    on_exit unmount_work_folder
}
unmount_work_folder() {
    local point
    for point in "${mounted[@]}"; do
        umount "$point" 2>/dev/null || umount -l "$point" 2>/dev/null
    done
}

# Mode and owner of a file, as one word; inode and modification time, which a write changes.
metadata() { stat -c '%a:%u:%g' "$1"; }
identity() { stat -c '%i %y' "$1"; }

# make_reference DIR NAME SOURCE [NAME SOURCE...]: the old bytes of each script (SOURCE as it is,
# DIR/old/NAME) and its new bytes (what a clean run makes of it under NAME, DIR/new/NAME); sets
# ref to DIR. A run under a fault must leave each script holding one of the two.
ref=
make_reference() {
    local dir=$1
    shift
    rm -rf "$dir"
    mkdir -p "$dir/old" "$dir/new"
    while (($# >= 2)); do
        cp "$2" "$dir/old/$1"
        cp "$2" "$dir/new/$1"
        shift 2
    done
    run_kqconvert "$dir/new"
    ((status == 0)) || fail "the clean reference run in $dir ended with status $status: $output"
    ref=$dir
}

# state_of FILE REF: old or new when FILE holds exactly those bytes of the reference script REF,
# garbled otherwise.
state_of() {
    if cmp -s "$1" "$ref/old/$2"; then
        echo old
    elif cmp -s "$1" "$ref/new/$2"; then
        echo new
    else
        echo garbled
    fi
}

# run_kqconvert SITE [COMMAND...]: kqconvert over SITE, run by COMMAND (a tracer) when given, for
# 60 s at most; sets output (both streams) and status. With $wine set, kqconvert is a Windows
# program run by Wine on the site's Z: path, writing UTF-8; files, not a pipe, take its streams,
# since a Wine service it starts would hold a pipe open after it has ended.
run_kqconvert() {
    local site=$1
    shift
    if [[ -n ${wine:-} ]]; then
        timeout 60 "$@" wine "$kqconvert" --utf8 "Z:${site//\//\\}" </dev/null >"$work/out" 2>&1
        status=$?
        output=$(tr -d '\r' <"$work/out")
    else
        # shellcheck disable=SC2086 # kq_options: options before the folder, split into words
        output=$(timeout 60 "$@" "$kqconvert" ${kq_options:-} "$site" 2>&1)
        status=$?
    fi
}

# check_no_leftovers LABEL FOLDER...: no temporary file in or below the folders, no sanitizer
# report in the output.
check_no_leftovers() {
    local label=$1
    shift
    local leftovers
    leftovers=$(find "$@" -name "$temporary_prefix*")
    [[ -z $leftovers ]] || fail "$label: temporary file left: $leftovers"
    ! grep -q Sanitizer <<<"$output" || fail "$label: a sanitizer report: $output"
}
