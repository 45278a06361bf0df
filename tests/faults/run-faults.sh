#!/usr/bin/env bash
# Injects real system faults into kqconvert, run as a process under strace over a small site, at
# every call of the kinds that touch the site, and checks after every run that nothing was lost:
#   - every script holds exactly its old bytes or exactly those of a clean conversion, with its
#     mode and owner;
#   - no temporary file is left or, after a SIGKILL, the next clean run removes it and converts
#     the rest;
#   - the exit status is 0 only when every script was converted or left alone, every script not
#     converted is named in the output, and none is said to be converted that was not; a folder
#     that cannot be listed any more ends the run with status 2 and nothing written.
# Two runs on one folder at once: the second says so and touches nothing, the first finishes.
# It also checks, on a clean run, the order of the durable steps: each temporary file is written,
# flushed and closed before it is renamed over its script, and the folder is flushed after the
# renames of each batch, before the next batch renames and before the run ends; on the small site
# and on a site of three batches.
#
#   run-faults.sh KQCONVERT
#
# Exit status: 0 all checks held, 1 a check failed, 77 strace or its fault injection is missing.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd) || exit 2
readonly here
# shellcheck source=SCRIPTDIR/fault-lib.sh
source "$here/fault-lib.sh"
if (($# != 1)) || [[ ! -x $1 ]]; then
    echo "usage: run-faults.sh KQCONVERT" >&2
    exit 2
fi
kqconvert=$(realpath "$1") || exit 2
make_work_folder kq-faults

# An injected ENOSPC must reach the program: echo then fails to write its line.
if ! command -v strace >/dev/null ||
    strace -f -o /dev/null -e trace=write -e inject=write:error=ENOSPC:when=1 /bin/echo probe \
        >/dev/null 2>&1; then
    echo "SKIP: strace with fault injection is not available here; the suite did not run"
    exit "$skip_status"
fi

# A plain converted script, one without the marker, and an upload script of each kind; modes
# differ, and as root one script belongs to another user, so that the owner is carried over.
readonly scripts=(forum.cgi help.cgi post.cgi register.cgi)
make_site() {
    rm -rf "$1" && mkdir -p "$1"
    local name
    for name in "${scripts[@]}"; do cp "$ref/old/$name" "$1/$name"; done
    chmod 0755 "$1/forum.cgi" && chmod 0640 "$1/register.cgi"
    ! is_root || chown 4242:4242 "$1/register.cgi"
}

# check_site LABEL SITE WHEN: the promises after one run; WHEN is "killed" for a run that was
# killed, "ended" otherwise.
check_site() {
    local label=$1 site=$2 when=$3 name state all_done=yes
    if [[ $when != killed ]] && ((status == 2)) && [[ $output == *无法读取文件夹* ]]; then
        for name in "${scripts[@]}"; do
            [[ $(state_of "$site/$name" "$name") == old ]] || fail "$label: $name written, though the folder could not be listed"
        done
        check_no_leftovers "$label" "$site"
        return
    fi
    for name in "${scripts[@]}"; do
        state=$(state_of "$site/$name" "$name")
        [[ $state != garbled ]] || fail "$label: $name holds neither its old nor its converted bytes"
        [[ $(metadata "$site/$name") == $(metadata "$work/pristine/$name") ]] ||
            fail "$label: mode or owner of $name changed"
        [[ $state == new || $name == help.cgi ]] || all_done=no
        [[ $when != killed ]] || continue
        if [[ $state != new && $name != help.cgi ]] && ! grep -qE "^(未转换|需手工检查)：$name" <<<"$output"; then
            fail "$label: $name was not converted ($state), but the output does not name it"
        fi
        ! grep -q "^已转换：$name" <<<"$output" || [[ $state == new ]] ||
            fail "$label: the output says $name was converted, but it holds its $state bytes"
    done
    [[ $when != killed ]] || return 0
    ((status == 0 || status == 1)) || fail "$label: exit status $status: $output"
    ((status == 1)) || [[ $all_done == yes ]] || fail "$label: exit status 0, but not every script was done"
    check_no_leftovers "$label" "$site"
}

# faulted_run LABEL SYSCALL ACTION N: ACTION injected at the N-th call of SYSCALL in a run over a
# fresh site, then the checks; after a kill, one more clean run must tidy up and finish the work.
faulted_run() {
    local label=$1 syscall=$2 action=$3 n=$4 site=$work/site
    make_site "$site"
    run_kqconvert "$site" strace -f -o /dev/null -e trace="$syscall" -e inject="$syscall:$action:when=$n"
    if [[ $action != signal=KILL ]]; then
        check_site "$label" "$site" ended
        return
    fi
    ((status == 128 + 9)) || fail "$label: the run was to be killed, but ended with status $status"
    check_site "$label" "$site" killed
    run_kqconvert "$site"
    check_site "$label, then a clean run" "$site" ended
    ((status == 0)) || fail "$label, then a clean run: not every script was converted"
}

# calls SYSCALL PATTERN: the positions, among the calls of SYSCALL of a clean run, of those whose
# traced line matches PATTERN (the calls on the site's files).
calls() {
    grep -E "^[0-9]+ +$1\(" "$work/clean.trace" | grep -nE -- "$2" | cut -d: -f1
}

make_reference "$work/ref" forum.cgi "$demo_site/forum.cgi" help.cgi "$demo_site/help.cgi" \
    post.cgi "$demo_site/post.cgi" register.cgi "$demo_site/register.cgi"
make_site "$work/pristine"
make_site "$work/site"
strace -f -y -o "$work/clean.trace" \
    -e trace=openat,write,close,fsync,syncfs,fchown,fchmod,rename,renameat,renameat2 \
    "$kqconvert" "$work/site" >/dev/null 2>&1
sed -i "s|$work/site|SITE|g" "$work/clean.trace"
rename_call=$(grep -oE '\b(rename|renameat|renameat2)\(' "$work/clean.trace" | head -n 1)
rename_call=${rename_call%(}
[[ -n $rename_call ]] || { fail "a clean run renamed nothing"; finish_suite; }

# durable_order TRACE RENAMES BATCHES: what breaks the durable order in TRACE, a clean run's trace
# with its site's path replaced by SITE: every temporary file written, flushed (by itself, or with
# its whole file system) and closed before it is renamed over its script; the renames of each
# batch followed by the folder's flush before the next batch renames, and before the end; RENAMES
# renames in BATCHES batches.
durable_order() {
    awk -v rename_call="$rename_call" -v renames_expected="$2" -v batches_expected="$3" '
    function temporary(line) {
        return match(line, /\.kqwizard-tmp-[0-9a-f]+/) ? substr(line, RSTART, RLENGTH) : ""
    }
    $2 ~ /^write\(/ && temporary($0) != "" { written[temporary($0)] = 1; renaming = 0 }
    $2 ~ /^fsync\(/ && temporary($0) != "" && / = 0$/ { flushed[temporary($0)] = 1; renaming = 0 }
    $2 ~ /^syncfs\(/ && / = 0$/ { for (name in written) flushed[name] = 1; renaming = 0 }
    $2 ~ /^close\(/ && temporary($0) != "" && / = 0$/ { closed[temporary($0)] = 1 }
    $2 ~ /^fsync\(/ && $2 ~ /<SITE>\)$/ && / = 0$/ { pending = ""; renaming = 0 }
    $2 ~ ("^" rename_call "\\(") {
        name = temporary($0); renames++
        if (!written[name] || !flushed[name] || !closed[name]) print name " renamed before it was written, flushed and closed"
        if (!renaming && pending != "") print "the folder was not flushed after the rename of " pending " before the next batch renamed"
        batches += !renaming; renaming = 1; pending = name
    }
    END {
        if (pending != "") print "the folder was not flushed after the rename of " pending
        if (renames != renames_expected) print renames " renames, " renames_expected " expected"
        if (batches != batches_expected) print batches " batches of renames, " batches_expected " expected"
    }' "$1"
}
problems=$(durable_order "$work/clean.trace" 3 1)
[[ -z $problems ]] || fail "durable order: $problems"
# The same over 600 scripts, three batches (a batch holds 256).
mkdir -p "$work/many"
for ((i = 1000; i < 1600; i++)); do cp "$ref/old/forum.cgi" "$work/many/$i.cgi"; done
strace -f -y -o "$work/many.trace" -e trace=write,close,fsync,syncfs,rename,renameat,renameat2 \
    "$kqconvert" "$work/many" >/dev/null 2>&1
sed -i "s|$work/many|SITE|g" "$work/many.trace"
problems=$(durable_order "$work/many.trace" 600 3)
[[ -z $problems ]] || fail "durable order over three batches: $problems"

for n in $(calls write "SITE/\\$temporary_prefix"); do
    faulted_run "ENOSPC on write #$n" write error=ENOSPC "$n"
    faulted_run "SIGKILL at write #$n" write signal=KILL "$n"
done
for n in $(calls fsync SITE); do
    faulted_run "EIO on fsync #$n" fsync error=EIO "$n"
    faulted_run "SIGKILL at fsync #$n" fsync signal=KILL "$n"
done
# The folder's flush fails after the renames: every script is in place, but not known to be on the
# disk, so each is named and the run ends with status 1. A second run writes nothing, flushes the
# folder again and, under the same fault, says so again; once the disk is mended it confirms them.
# An error that only says that the file system flushes no folders (EINVAL) is no failure.
check_unconfirmed() {
    ((status == 1)) || fail "$1: exit status $status"
    local name
    for name in forum.cgi post.cgi register.cgi; do
        grep -q "^需手工检查：$name：.*系统未能确认" <<<"$output" || fail "$1: $name not named: $output"
    done
}
for n in $(calls fsync '<SITE>\)'); do
    label="EIO on the folder's flush, fsync #$n"
    make_site "$work/site"
    kq_options=--diff run_kqconvert "$work/site" strace -f -o /dev/null -e trace=fsync \
        -e inject=fsync:error=EIO:when=$n
    check_site "$label" "$work/site" ended
    check_unconfirmed "$label"
    grep -q "^+++ post.cgi（转换后）" <<<"$output" || fail "$label: the change in place not shown"
    run_kqconvert "$work/site" strace -f -o /dev/null -e trace=fsync -e inject=fsync:error=EIO
    check_unconfirmed "$label, then a second run under the same fault"
    run_kqconvert "$work/site"
    ((status == 0)) || fail "$label, then a run on a sound disk: status $status: $output"
    make_site "$work/site"
    run_kqconvert "$work/site" strace -f -o /dev/null -e trace=fsync -e inject=fsync:error=EINVAL:when=$n
    ((status == 0)) || fail "EINVAL on the folder's flush, fsync #$n: status $status: $output"
done
# The file system's flush fails: each file is flushed by itself, and one of those fails too.
faulted_run "EIO on syncfs" syncfs error=EIO 1
faulted_run "SIGKILL at syncfs" syncfs signal=KILL 1
for n in 1 2 3; do
    site=$work/site
    make_site "$site"
    run_kqconvert "$site" strace -f -o /dev/null -e trace=syncfs,fsync \
        -e inject=syncfs:error=EIO -e inject=fsync:error=EIO:when=$n
    check_site "EIO on syncfs, then on fsync #$n" "$site" ended
    ((status == 1)) || fail "EIO on syncfs, then on fsync #$n: every script said to be done"
done
for n in $(calls close SITE); do
    faulted_run "EIO on close #$n" close error=EIO "$n"
done
# A temporary file whose close reports an error (a delayed write error) is not put in place.
for n in $(calls close "SITE/\\$temporary_prefix"); do
    faulted_run "EIO on closing a temporary file, close #$n" close error=EIO "$n"
    ((status == 1)) || fail "EIO on closing a temporary file, close #$n: not reported"
done
for n in $(calls "$rename_call" SITE); do
    for action in error=EXDEV error=EBUSY signal=KILL; do
        faulted_run "$action at $rename_call #$n" "$rename_call" "$action" "$n"
    done
done
for syscall in fchown fchmod; do
    for n in $(calls "$syscall" SITE); do
        faulted_run "EPERM on $syscall #$n" "$syscall" error=EPERM "$n"
    done
done
# openat: a script gone or unreadable when its turn comes, and a kill at every opening.
for n in $(calls openat SITE); do
    for action in error=ENOENT error=EACCES signal=KILL; do
        faulted_run "$action at openat #$n" openat "$action" "$n"
    done
done

# The report cannot be written out (a full disk under the output): the work is done, but the tool
# says that its report is incomplete and does not end with status 0.
make_site "$work/site"
errors=$("$kqconvert" "$work/site" 2>&1 >/dev/full)
status=$?
((status == 1)) && [[ $errors == *报告没有完整输出* ]] ||
    fail "report on a full output: status $status, said: $errors"

# Two runs at once: the first is stopped while it holds the folder (when it flushes its staged
# texts); the second must say that the folder is being converted and leave everything, the first
# run's temporary files included; then the first finishes the work.
make_site "$work/site"
strace -f -o "$work/held.trace" -e trace=syncfs -e inject=syncfs:signal=STOP:when=1 \
    "$kqconvert" "$work/site" >"$work/held.out" 2>&1 &
holder=$!
for ((waited = 0; waited < 100; waited++)); do
    grep -q 'SIGSTOP' "$work/held.trace" 2>/dev/null && break
    sleep 0.1
done
temporaries=$(find "$work/site" -name "$temporary_prefix*" | sort)
[[ -n $temporaries ]] || fail "two runs: the first run staged nothing before its flush"
run_kqconvert "$work/site"
((status == 2)) && [[ $output == *正在被另一个转换程序修改* ]] ||
    fail "two runs: the second ended with status $status and said: $output"
for name in "${scripts[@]}"; do
    [[ $(state_of "$work/site/$name" "$name") == old ]] || fail "two runs: the second wrote $name"
done
[[ $(find "$work/site" -name "$temporary_prefix*" | sort) == "$temporaries" ]] ||
    fail "two runs: the second removed the first one's temporary files"
kill -CONT "$(awk 'NR == 1 {print $1}' "$work/held.trace")"
wait "$holder"
status=$? output=$(cat "$work/held.out")
check_site "two runs, the first finished" "$work/site" ended
((status == 0)) || fail "two runs: the first did not finish its work"
finish_suite
