#!/usr/bin/env bash
# Injects real system faults into kqconvert, run as a process over a small site, and checks after
# every run that nothing was lost:
#   - every script holds exactly its old bytes or exactly the bytes of a clean conversion (an
#     upload script may also hold the library-switched text written before its second rewrite,
#     but only when the run named it or was killed);
#   - no temporary file is left, or, after a SIGKILL, the next clean run removes it and converts
#     the rest;
#   - the exit status is 0 only when every script was converted or left alone, and every script
#     not converted is named in the output;
#   - mode and owner of every script are unchanged.
# It also checks, on a clean run, the order of the durable steps: the temporary file is flushed
# before it is renamed over the script, and the folder is flushed after the rename.
#
#   run-faults.sh KQCONVERT [FAMILY...]
#
# FAMILY limits the run to some fault families: disk_full, io_error, rename_refused,
# permission_refused, killed (all of them by default; the durable order is always checked).
#
# Exit status: 0 all checks held, 1 a check failed, 77 strace or its fault injection is missing.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd) || exit 2
readonly here
# shellcheck source=SCRIPTDIR/fault-lib.sh
source "$here/fault-lib.sh"
readonly demo_site=$here/../../examples/demo-site

# The site: a plain converted script, one without the marker, and one upload script of each kind
# (written once each, with both rewrites). Modes differ, and one script belongs to another user so that the owner has
# to be carried over to the new file.
readonly scripts=(forum.cgi help.cgi post.cgi register.cgi)
readonly foreign_owner=4242:4242

if (($# < 1)) || [[ ! -x $1 ]]; then
    echo "usage: run-faults.sh KQCONVERT [FAMILY...] (KQCONVERT an executable kqconvert)" >&2
    exit 2
fi
kqconvert=$(realpath "$1") || exit 2
readonly kqconvert
shift
readonly all_families=(disk_full io_error rename_refused permission_refused killed)
selected_families=("$@")
((${#selected_families[@]} > 0)) || selected_families=("${all_families[@]}")
for family in "${selected_families[@]}"; do
    if [[ " ${all_families[*]} " != *" $family "* ]]; then
        echo "run-faults.sh: unknown fault family \"$family\" (${all_families[*]})" >&2
        exit 2
    fi
done

use_test_environment
make_work_folder kq-faults

# ---------------------------------------------------------------------------------------------
# Availability

require_fault_injection() {
    if ! command -v strace >/dev/null; then
        echo "SKIP: strace is not installed; the fault-injection suite did not run"
        exit "$skip_status"
    fi
    # An injected ENOSPC must reach the program: echo then fails to write its line.
    if strace -f -o /dev/null -e trace=write -e inject=write:error=ENOSPC:when=1 \
        /bin/echo probe >/dev/null 2>&1; then
        echo "SKIP: strace cannot inject faults here (no ptrace, or too old a strace);" \
            "the fault-injection suite did not run"
        exit "$skip_status"
    fi
}

# ---------------------------------------------------------------------------------------------
# The site and its expected states

# make_site DIR: a fresh copy of the site in DIR.
make_site() {
    local dir=$1
    rm -rf "$dir"
    mkdir -p "$dir"
    local name
    for name in "${scripts[@]}"; do
        cp "$demo_site/$name" "$dir/$name"
    done
    chmod 0755 "$dir/forum.cgi"
    chmod 0644 "$dir/help.cgi" "$dir/post.cgi"
    chmod 0640 "$dir/register.cgi"
    if is_root; then
        chown "$foreign_owner" "$dir/register.cgi"
    fi
}

# Computes, once, the two states a script may be found in: old (the site as made) and new (a
# clean conversion). An upload script is written once, with both of its rewrites, so there is no
# state in between.
prepare_expected_states() {
    make_site "$work/old"
    make_site "$work/new"
    local output
    output=$("$kqconvert" "$work/new" 2>&1)
    local status=$?
    if ((status != 0)); then
        fail "the clean run ended with status $status instead of 0: $output"
        return 1
    fi
    local name
    for name in forum.cgi post.cgi register.cgi; do
        if cmp -s "$work/old/$name" "$work/new/$name"; then
            fail "the clean run did not change $name"
        fi
    done
    if ! cmp -s "$work/old/help.cgi" "$work/new/help.cgi"; then
        fail "the clean run changed help.cgi, which has no marker"
    fi

    ((failures == 0))
}

# state_of SITE NAME: old, new or garbled.
state_of() {
    local site=$1 name=$2
    state_between "$site/$name" "$work/old/$name" "$work/new/$name"
}

# ---------------------------------------------------------------------------------------------
# One faulted run and its checks

# Scripts found holding bytes that are neither old nor new.
lost_in_run=0

# check_site FAMILY LABEL SITE OUTPUT STATUS WHEN: the promises after one run. WHEN is "killed"
# for the run that was killed, "after-kill" for the clean run that follows it, "ended" otherwise.
check_site() {
    local family=$1 label=$2 site=$3 output=$4 status=$5 when=$6
    local name state all_final=yes
    for name in "${scripts[@]}"; do
        count_checked "$family"
        state=$(state_of "$site" "$name")
        if [[ $(metadata "$site/$name") != $(metadata "$work/old/$name") ]]; then
            fail "$label: mode or owner of $name changed:" \
                "$(metadata "$work/old/$name") -> $(metadata "$site/$name")"
        fi
        case $state in
            garbled)
                lost_in_run=$((lost_in_run + 1))
                fail "$label: $name holds neither its old bytes nor its converted bytes"
                ;;
        esac
        [[ $state == new || $name == help.cgi && $state == old ]] || all_final=no

        [[ $when == killed ]] && continue
        if [[ $state != new && $name != help.cgi ]] &&
            ! grep -qE "^(未转换|需手工检查)：$name" <<<"$output"; then
            fail "$label: $name was not converted ($state), but the output does not name it"
        fi
        if grep -q "^已转换：$name" <<<"$output" && [[ $state != new ]]; then
            fail "$label: the output says $name was converted, but it holds its $state bytes"
        fi
    done

    if [[ $when != killed ]]; then
        if ((status != 0 && status != 1)); then
            fail "$label: exit status $status (0 or 1 expected): $output"
        elif ((status == 0)) && [[ $all_final == no && $when == ended ]]; then
            fail "$label: exit status 0, but not every script was converted or left alone"
        fi
        check_no_sanitizer_report "$label" "$output"
        check_no_temporaries "$label" "$site"
    fi
}

# faulted_run FAMILY LABEL SYSCALL ACTION N: kqconvert over a fresh site with ACTION injected at
# the N-th call of SYSCALL, then the checks; after a kill, one more clean run must tidy up and
# finish the conversion.
faulted_run() {
    local family=$1 label=$2 syscall=$3 action=$4 n=$5
    local site=$work/site killed=no
    make_site "$site"
    count_run "$family"
    lost_in_run=0

    local output status
    output=$(strace -f -o /dev/null -e trace="$syscall" \
        -e inject="$syscall:$action:when=$n" "$kqconvert" "$site" 2>&1)
    status=$?
    [[ $action == signal=KILL ]] && killed=yes
    if [[ $killed == yes ]] && ((status != 128 + 9)); then
        fail "$label: the run was to be killed, but ended with status $status"
    fi
    check_site "$family" "$label" "$site" "$output" "$status" \
        "$([[ $killed == yes ]] && echo killed || echo ended)"

    if [[ $killed == yes ]]; then
        # The next run, without any fault, removes what the killed one left and converts the
        # rest.
        output=$("$kqconvert" "$site" 2>&1)
        status=$?
        check_site "$family" "$label, then a clean run" "$site" "$output" "$status" after-kill
        local name
        for name in forum.cgi post.cgi register.cgi; do
            case $(state_of "$site" "$name") in
                new) ;;
                *) fail "$label, then a clean run: $name is still not converted" ;;
            esac
        done
    fi
    count_lost "$family" "$lost_in_run"
}

# ---------------------------------------------------------------------------------------------
# The calls a clean run makes

# A clean run traced with file names (-y), for the counts and the order of the durable steps.
trace_clean_run() {
    make_site "$work/site"
    strace -f -y -o "$work/clean.trace" \
        -e trace=openat,write,close,fsync,fchown,fchmod,rename,renameat,renameat2 \
        "$kqconvert" "$work/site" >/dev/null 2>&1
    sed -i "s|$work/site|SITE|g" "$work/clean.trace"
    rename_call=$(grep -oE '\b(rename|renameat|renameat2)\(' "$work/clean.trace" | head -n 1)
    rename_call=${rename_call%(}
    if [[ -z $rename_call ]]; then
        fail "a clean run renamed nothing"
        rename_call=renameat
    fi
}

# ordinals SYSCALL PATTERN: the positions, counted over every call of SYSCALL in the clean run,
# of the calls whose traced line matches PATTERN (the calls on the site's files).
ordinals() {
    local syscall=$1 pattern=$2
    grep -E "^[0-9]+ +$syscall\(" "$work/clean.trace" | grep -nE -- "$pattern" | cut -d: -f1
}

# ---------------------------------------------------------------------------------------------
# Fault families

# ENOSPC on every write into a temporary file.
fault_disk_full() {
    local n
    for n in $(ordinals write "SITE/\\$temporary_prefix"); do
        faulted_run "ENOSPC on write" "ENOSPC on write #$n" write error=ENOSPC "$n"
    done
}

# EIO on every fsync (the temporary file's and the folder's) and on every close of a site file.
fault_io_error() {
    local n
    for n in $(ordinals fsync 'SITE'); do
        faulted_run "EIO on fsync" "EIO on fsync #$n" fsync error=EIO "$n"
    done
    for n in $(ordinals close 'SITE'); do
        faulted_run "EIO on close" "EIO on close #$n" close error=EIO "$n"
    done
}

# EXDEV and EBUSY on every rename of a temporary file over its script.
fault_rename_refused() {
    local n error
    for error in EXDEV EBUSY; do
        for n in $(ordinals "$rename_call" 'SITE'); do
            faulted_run "$error on $rename_call" "$error on $rename_call #$n" "$rename_call" \
                "error=$error" "$n"
        done
    done
}

# EPERM on every fchown (made only for the script of another owner) and every fchmod.
fault_permission_refused() {
    local n syscall
    for syscall in fchown fchmod; do
        local calls
        calls=$(ordinals "$syscall" 'SITE')
        if [[ -z $calls && $syscall == fchown ]] && ! is_root; then
            echo "note: not root, so no script belongs to another user and fchown is never made"
            continue
        fi
        [[ -n $calls ]] || fail "a clean run made no $syscall on the site"
        for n in $calls; do
            faulted_run "EPERM on $syscall" "EPERM on $syscall #$n" "$syscall" error=EPERM "$n"
        done
    done
}

# SIGKILL at every openat, write, fsync and rename on the site's files.
fault_killed() {
    local n syscall pattern
    for syscall in openat write fsync "$rename_call"; do
        pattern=SITE
        [[ $syscall == write ]] && pattern="SITE/\\$temporary_prefix"
        for n in $(ordinals "$syscall" "$pattern"); do
            faulted_run "SIGKILL at $syscall" "SIGKILL at $syscall #$n" "$syscall" signal=KILL "$n"
        done
    done
}

# The order of the durable steps in the clean run: every temporary file is written, flushed and
# closed before it is renamed over its script, and the folder is flushed after each rename.
check_durable_order() {
    local family="durable order"
    count_run "$family"
    count_lost "$family" 0
    local renames
    renames=$(grep -cE "^[0-9]+ +$rename_call\(" "$work/clean.trace")
    count_checked "$family" "$renames"
    ((renames == 3)) || fail "durable order: $renames renames in a clean run, 3 expected" \
        "(forum.cgi, post.cgi and register.cgi once each)"

    local problems
    problems=$(awk -v rename_call="$rename_call" '
        # The temporary file named in a traced line, or "" when there is none.
        function temporary(line) {
            return match(line, /\.kqwizard-tmp-[0-9a-f]+/) ? substr(line, RSTART, RLENGTH) : ""
        }
        $2 ~ /^write\(/ && temporary($0) != "" { written[temporary($0)] = 1 }
        $2 ~ /^fsync\(/ && temporary($0) != "" && / = 0$/ { flushed[temporary($0)] = 1 }
        $2 ~ /^close\(/ && temporary($0) != "" && / = 0$/ { closed[temporary($0)] = 1 }
        $2 ~ /^fsync\(/ && $2 ~ /<SITE>\)$/ && / = 0$/ {
            if (pending != "") folder_flushed[pending] = 1
            pending = ""
        }
        $2 ~ ("^" rename_call "\\(") {
            if (pending != "") print "the folder was not flushed after the rename of " pending
            name = temporary($0)
            if (!written[name]) print name " renamed without being written"
            if (!flushed[name]) print name " renamed before it was flushed"
            if (!closed[name]) print name " renamed before it was closed"
            pending = name
        }
        END { if (pending != "") print "the folder was not flushed after the rename of " pending }
    ' "$work/clean.trace")
    if [[ -n $problems ]]; then
        while IFS= read -r line; do fail "durable order: $line"; done <<<"$problems"
    fi
}

# ---------------------------------------------------------------------------------------------

main() {
    require_fault_injection
    prepare_expected_states || exit 1
    trace_clean_run
    check_durable_order
    local family
    for family in "${selected_families[@]}"; do
        "fault_$family"
    done
    finish_suite
}

main
