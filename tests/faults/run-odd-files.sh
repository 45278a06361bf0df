#!/usr/bin/env bash
# Runs kqconvert, as a process, over small sites that hold more than plain scripts (links, a FIFO,
# a socket, a folder, unusual modes and owners), over a real full disk and under a file size
# limit, and checks after every run that:
#   - the output is exactly one line per listed script, in list order, saying what became of
#     it and, for a script not converted, why, then the summary line; only regular files and
#     links to them are listed;
#   - the exit status is 1 when a script was not converted, 0 otherwise, and kqconvert ends by
#     itself (no hang, no signal);
#   - every file holds exactly the bytes expected for that run (its old bytes, or those of a
#     clean conversion), keeps its mode and owner, and a file not written keeps its inode and
#     modification time;
#   - no temporary file is left.
#
#   run-odd-files.sh KQCONVERT [CASE...]
#
# CASE limits the run to some cases (all of them by default):
#   full_disk        a 96 KiB tmpfs with less room than the conversion needs (root only)
#   file_size_limit  ulimit -f smaller than some converted scripts
#   modes            modes 0755, 0700, 0600, 0444, and a script of another owner (root only)
#   links            relative, absolute, chained, dangling, looping and outside links; a script
#                    with a second hard link outside the site
#   odd_files        a FIFO, a Unix socket, a folder and a link to a device, all named *.cgi
#   vanishing        a script whose opening fails with ENOENT or EACCES (strace)
#
# Exit status: 0 all checks held, 1 a check failed, 77 none of the selected cases could run
# here (each says why on a "SKIP:" line).
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd) || exit 2
readonly here
# shellcheck source=SCRIPTDIR/fault-lib.sh
source "$here/fault-lib.sh"
demo_site=$(realpath "$here/../../examples/demo-site") || exit 2
readonly demo_site

# No run of kqconvert over these small sites takes more than a second; one that is still
# running after this long hangs.
readonly time_limit=60
readonly foreign_owner=4242:4242

if (($# < 1)) || [[ ! -x $1 ]]; then
    echo "usage: run-odd-files.sh KQCONVERT [CASE...] (KQCONVERT an executable kqconvert)" >&2
    exit 2
fi
kqconvert=$(realpath "$1") || exit 2
readonly kqconvert
shift
readonly all_cases=(full_disk file_size_limit modes links odd_files vanishing)
selected_cases=("$@")
((${#selected_cases[@]} > 0)) || selected_cases=("${all_cases[@]}")
for case_name in "${selected_cases[@]}"; do
    if [[ " ${all_cases[*]} " != *" $case_name "* ]]; then
        echo "run-odd-files.sh: unknown case \"$case_name\" (${all_cases[*]})" >&2
        exit 2
    fi
done

use_test_environment
make_work_folder kq-odd-files
work=$(realpath "$work") || exit 1
# An interrupted suite still unmounts and removes its work folder.
trap 'exit 130' INT TERM HUP

# The reasons kqconvert gives, in the words of the system messages of the C locale.
readonly reason_disk_full="无法写回该文件，原内容保持不变（No space left on device）"
readonly reason_too_large="无法写回该文件，原内容保持不变（File too large）"
readonly reason_read_only="文件为只读，未作修改（Permission denied）"
readonly reason_gone="无法读取该文件，未作修改（No such file or directory）"
readonly reason_unreadable="无法读取该文件，未作修改（Permission denied）"

# ---------------------------------------------------------------------------------------------
# Scripts and their expected bytes

# padded SOURCE SIZE DEST: SOURCE followed by Perl comment lines (CR LF, as the demo scripts)
# up to at least SIZE bytes: a script too large for the room a case leaves.
padded() {
    local source=$1 size=$2 dest=$3
    cp "$source" "$dest"
    local line=0
    while (($(stat -c %s "$dest") < size)); do
        yes "# padding line $line: a long site script keeps its history in comments here" |
            head -n 100 | sed 's/$/\r/' >>"$dest"
        line=$((line + 1))
    done
}

# has_marker FILE: the file carries the package marker, "kqcgi" in any letter case.
has_marker() { grep -qi kqcgi "$1"; }

# make_reference DIR NAME SOURCE [NAME SOURCE...]: for each script a case uses, its old bytes
# (SOURCE as it is, DIR/old/NAME) and its new bytes (a clean conversion under NAME,
# DIR/new/NAME); sets ref to DIR. The name matters: the four upload scripts get more rewrites.
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
    local output status
    output=$(timeout "$time_limit" "$kqconvert" "$dir/new" 2>&1)
    status=$?
    if ((status != 0)); then
        fail "the clean reference run in ${dir#"$work"/} ended with status $status: $output"
        return 1
    fi
    local file name
    for file in "$dir"/old/*; do
        name=${file##*/}
        if has_marker "$file" && cmp -s "$file" "$dir/new/$name"; then
            fail "the clean reference run did not change $name"
        elif ! has_marker "$file" && ! cmp -s "$file" "$dir/new/$name"; then
            fail "the clean reference run changed $name, which has no marker"
        fi
    done
    ref=$dir
}

# place NAME DEST [MODE]: the old bytes of the reference script NAME at DEST.
place() {
    cp "$ref/old/$1" "$2"
    [[ -z ${3:-} ]] || chmod "$3" "$2"
}

# ---------------------------------------------------------------------------------------------
# Expectations for one run, made before it

expected_lines=()
expected_files=()    # the file that holds the bytes (a link's final target)
expected_refs=()     # the reference script whose old or new bytes it is to hold
expected_states=()   # old or new
expected_meta=()     # mode and owner before the run
expected_identity=() # inode and modification time before the run, "" for a file to be written

forget_expectations() {
    expected_lines=()
    expected_files=()
    expected_refs=()
    expected_states=()
    expected_meta=()
    expected_identity=()
}

# identity FILE: inode and modification time, which change when the file is written.
identity() { stat -c '%i %y' "$1"; }

# expect_file FILE REF STATE WRITTEN: after the run FILE holds the STATE (old or new) bytes of
# the reference script REF with its mode and owner; WRITTEN is no for a file that must not be
# written at all.
expect_file() {
    local file=$1 reference=$2 state=$3 written=$4
    expected_files+=("$file")
    expected_refs+=("$reference")
    expected_states+=("$state")
    expected_meta+=("$(metadata "$file")")
    if [[ $written == no ]]; then
        expected_identity+=("$(identity "$file")")
    else
        expected_identity+=("")
    fi
}

# expect_converted NAME [FILE [REF]]: listed, converted, FILE (the script itself by default)
# holds the new bytes of REF (NAME by default).
expect_converted() {
    local name=$1 file=${2:-$site/$1} reference=${3:-$1}
    expected_lines+=("已转换：$name")
    expect_file "$file" "$reference" new yes
}

# expect_left_alone NAME [FILE [REF [STATE]]]: listed, not written (no marker).
expect_left_alone() {
    local name=$1 file=${2:-$site/$1} reference=${3:-$1} state=${4:-old}
    expected_lines+=("未改动：$name（没有 KQCGI 标记）")
    expect_file "$file" "$reference" "$state" no
}

# expect_not_converted NAME REASON [FILE [REF]]: listed, named with REASON, not written.
expect_not_converted() {
    local name=$1 reason=$2 file=${3:-$site/$1} reference=${4:-$1}
    expected_lines+=("未转换：$name：$reason")
    expect_file "$file" "$reference" old no
}

# summary_line: the last line of the output for the expected script lines.
summary_line() {
    local line converted=0 alone=0 not_converted=0 check=0
    for line in "${expected_lines[@]}"; do
        case $line in
            已转换：*) converted=$((converted + 1)) ;;
            未改动：*) alone=$((alone + 1)) ;;
            未转换：*) not_converted=$((not_converted + 1)) ;;
            需手工检查：*) check=$((check + 1)) ;;
        esac
    done
    printf '共 %d 个脚本：已转换 %d 个，未改动 %d 个，未转换 %d 个，需手工检查 %d 个。\n' \
        "${#expected_lines[@]}" "$converted" "$alone" "$not_converted" "$check"
}

# ---------------------------------------------------------------------------------------------
# One run and its checks

output=
status=0

# run_kqconvert SITE [COMMAND...]: kqconvert over SITE, run by COMMAND (a tracer) when given,
# under the time limit; sets output and status.
run_kqconvert() {
    local site_folder=$1
    shift
    output=$(timeout "$time_limit" "$@" "$kqconvert" "$site_folder" 2>&1)
    status=$?
}

# check_status LABEL EXPECTED
check_status() {
    local label=$1 expected=$2
    if ((status == 124)); then
        fail "$label: kqconvert was still running after $time_limit s and was stopped (a hang)"
    elif ((status > 128)); then
        fail "$label: kqconvert died from SIG$(kill -l $((status - 128))) (status $status)" \
            "and said: ${output:-nothing}"
    elif ((status != expected)); then
        fail "$label: exit status $status, $expected expected"
    fi
}

# check_run FAMILY LABEL FOLDER...: the checks after one run, against the expectations made
# before it; FOLDER... are searched for temporary files.
check_run() {
    local family=$1 label=$2
    shift 2
    count_run "$family"
    local expected_status=0 line
    for line in "${expected_lines[@]}"; do
        [[ $line == 已转换：* || $line == 未改动：* ]] || expected_status=1
    done
    check_status "$label" "$expected_status"
    check_no_sanitizer_report "$label" "$output"

    local expected_output
    expected_output=$(printf '%s\n' "${expected_lines[@]}" "$(summary_line)")
    if [[ $output != "$expected_output" ]]; then
        fail "$label: the output differs from the expected one (- expected, + got):" \
            "$(differences "$expected_output" "$output")"
    fi

    local i file shown state lost=0
    for i in "${!expected_files[@]}"; do
        count_checked "$family"
        file=${expected_files[i]}
        shown=${file#"$work"/}
        state=$(state_between "$file" "$ref/old/${expected_refs[i]}" \
            "$ref/new/${expected_refs[i]}")
        if [[ $state == garbled ]]; then
            lost=$((lost + 1))
            fail "$label: $shown holds neither its old nor its converted bytes"
        elif [[ $state != "${expected_states[i]}" ]]; then
            fail "$label: $shown holds its $state bytes, its ${expected_states[i]} bytes expected"
        fi
        if [[ $(metadata "$file") != "${expected_meta[i]}" ]]; then
            fail "$label: mode or owner of $shown changed:" \
                "${expected_meta[i]} -> $(metadata "$file")"
        fi
        if [[ -n ${expected_identity[i]} && $(identity "$file") != "${expected_identity[i]}" ]]
        then
            fail "$label: $shown was written, though it was to be left as it was"
        fi
    done
    count_lost "$family" "$lost"
    check_no_temporaries "$label" "$@"
}

# snapshot FOLDER: every entry below FOLDER with its type, link target, mode, owner, inode,
# modification time and a checksum of its content.
snapshot() {
    local folder=$1
    (
        cd "$folder" || exit 1
        find . -mindepth 1 -printf '%p %y %l %m %U:%G %i %T@\n' | sort
        find . -type f -exec sha256sum {} + | sort -k 2
    )
}

# differences EXPECTED GOT: the lines that differ, "-" expected, "+" got.
differences() {
    diff -u <(echo "$1") <(echo "$2") | sed 1,2d | grep '^[-+]'
}

# temporary_files TRACE: for every temporary file of a run traced with strace -y, the folder it
# was made in and the file it was renamed to, relative to the work folder; one line each, sorted.
temporary_files() {
    local trace=$1
    local folder='[0-9]+<([^>]*)>' temporary="\"(\\${temporary_prefix}[0-9a-f]+)\""
    local made="openat\\($folder, $temporary, O_WRONLY\\|O_CREAT"
    local renamed="renameat2?\\($folder, $temporary, $folder, \"([^\"]+)\""
    join <(sed -nE "s#^[0-9]+ +$made.*#\\2 \\1#p" "$trace" | sort) \
        <(sed -nE "s#^[0-9]+ +$renamed.*= 0\$#\\2 \\3/\\4#p" "$trace" | sort) |
        cut -d' ' -f2- | sed "s#$work/##g" | sort
}

# ---------------------------------------------------------------------------------------------
# Cases; each returns 0 when it ran, the skip status when this machine does not allow it.

# make_large_site_reference DIR: the reference (see make_reference) of a site with two scripts
# padded to some 18 KB, so that a few blocks of room are not enough for every script.
make_large_site_reference() {
    mkdir -p "$work/sources"
    padded "$demo_site/admin.cgi" 18000 "$work/sources/admin.cgi"
    padded "$demo_site/register.cgi" 18000 "$work/sources/register.cgi"
    make_reference "$1" admin.cgi "$work/sources/admin.cgi" \
        forum.cgi "$demo_site/forum.cgi" help.cgi "$demo_site/help.cgi" \
        post.cgi "$demo_site/post.cgi" register.cgi "$work/sources/register.cgi"
}

# A real full disk: a 96 KiB tmpfs holding the site and a filler file that leaves ROOM free
# blocks. A script is converted when its new bytes fit into ROOM (the old file's blocks are given
# back only by the rename that replaces it); the others fail at writing, part-way for the large
# ones, and keep their old bytes.
case_full_disk() {
    local family="full disk (tmpfs)"
    if ! is_root; then
        echo "SKIP: full disk: not root, so no tmpfs can be mounted; the case did not run"
        return "$skip_status"
    fi
    local disk=$work/disk
    mkdir -p "$disk"
    if ! mount -t tmpfs -o size=96k,mode=0755 kq-full-disk "$disk" 2>"$work/mount.err"; then
        echo "SKIP: full disk: no tmpfs can be mounted here ($(cat "$work/mount.err"));" \
            "the case did not run"
        return "$skip_status"
    fi
    mounted+=("$disk")

    # In kqconvert's order: names compared with their letters folded to upper case.
    local names=(admin.cgi forum.cgi help.cgi post.cgi register.cgi)
    make_large_site_reference "$work/ref-full-disk" || return 0

    local block_size room
    block_size=$(stat -f -c %S "$disk")
    for room in 0 1 4 5; do
        rm -rf "${disk:?}"/*
        site=$disk/site
        mkdir "$site"
        local name
        for name in "${names[@]}"; do
            place "$name" "$site/$name" 0644
        done
        local free filler=$disk/uploads.dat
        free=$(stat -f -c %a "$disk")
        head -c $(((free - room) * block_size)) /dev/zero >"$filler"
        if (($(stat -f -c %a "$disk") != room)); then
            fail "full disk: $(stat -f -c %a "$disk") free blocks left instead of $room"
            continue
        fi

        forget_expectations
        local needed
        for name in "${names[@]}"; do
            needed=$((($(stat -c %s "$ref/new/$name") + block_size - 1) / block_size))
            if ! has_marker "$ref/old/$name"; then
                expect_left_alone "$name"
            elif ((needed <= room)); then
                expect_converted "$name"
            else
                expect_not_converted "$name" "$reason_disk_full"
            fi
        done
        local filler_identity
        filler_identity=$(identity "$filler")
        run_kqconvert "$site"
        check_run "$family" "full disk, $room free blocks" "$disk"
        if [[ $(identity "$filler") != "$filler_identity" ]] ||
            ! cmp -s "$filler" <(head -c $(((free - room) * block_size)) /dev/zero); then
            fail "full disk, $room free blocks: the file outside the site was changed"
        fi
        if (($(stat -f -c %a "$disk") != room)); then
            fail "full disk, $room free blocks: $(stat -f -c %a "$disk") blocks free after" \
                "the run"
        fi
    done
    umount "$disk" && mounted=()
    return 0
}

# ulimit -f: a write beyond the limit fails with EFBIG (SIGXFSZ, whose default is to end the
# process, must not stop kqconvert); the scripts whose new bytes fit are converted.
case_file_size_limit() {
    local family="ulimit -f"
    local names=(admin.cgi forum.cgi help.cgi post.cgi register.cgi)
    make_large_site_reference "$work/ref-file-size" || return 0

    local limit name
    # In KiB, as ulimit -f counts.
    for limit in 0 2 16 64; do
        site=$work/limit/site
        rm -rf "$work/limit"
        mkdir -p "$site"
        for name in "${names[@]}"; do
            place "$name" "$site/$name" 0644
        done
        forget_expectations
        for name in "${names[@]}"; do
            if ! has_marker "$ref/old/$name"; then
                expect_left_alone "$name"
            elif (($(stat -c %s "$ref/new/$name") <= limit * 1024)); then
                expect_converted "$name"
            else
                expect_not_converted "$name" "$reason_too_large"
            fi
        done
        output=$(ulimit -f "$limit" && exec timeout "$time_limit" "$kqconvert" "$site" 2>&1)
        status=$?
        check_run "$family" "ulimit -f $limit" "$work/limit"
    done
    return 0
}

# Modes and owners: converted scripts keep both; a script without the owner's write bit is
# refused even for root, who could write it.
case_modes() {
    local family="modes and owner"
    make_reference "$work/ref-modes" admin.cgi "$demo_site/admin.cgi" \
        forum.cgi "$demo_site/forum.cgi" help.cgi "$demo_site/help.cgi" \
        login.cgi "$demo_site/login.cgi" post.cgi "$demo_site/post.cgi" \
        topic.cgi "$demo_site/topic.cgi" || return 0
    site=$work/modes/site
    mkdir -p "$site"
    place admin.cgi "$site/admin.cgi" 0444
    place forum.cgi "$site/forum.cgi" 0755
    place help.cgi "$site/help.cgi" 0444
    place login.cgi "$site/login.cgi" 0700
    place post.cgi "$site/post.cgi" 0600
    local foreign=no
    if is_root; then
        place topic.cgi "$site/topic.cgi" 0664
        chown "$foreign_owner" "$site/topic.cgi"
        foreign=yes
    else
        echo "SKIP: modes: not root, so no script can belong to another user; that script" \
            "is left out"
    fi

    local round
    for round in first second; do
        forget_expectations
        if [[ $round == first ]]; then
            expect_not_converted admin.cgi "$reason_read_only"
            expect_converted forum.cgi
            expect_left_alone help.cgi
            expect_converted login.cgi
            expect_converted post.cgi
            [[ $foreign == no ]] || expect_converted topic.cgi
        else
            # Over its own result: nothing is written again, the read-only script is refused
            # again.
            expect_not_converted admin.cgi "$reason_read_only"
            expect_left_alone forum.cgi "" "" new
            expect_left_alone help.cgi
            expect_left_alone login.cgi "" "" new
            expect_left_alone post.cgi "" "" new
            [[ $foreign == no ]] || expect_left_alone topic.cgi "" "" new
        fi
        run_kqconvert "$site"
        check_run "$family" "modes, $round run" "$site"
    done
    if [[ $foreign == yes && $(stat -c '%u:%g' "$site/topic.cgi") != "$foreign_owner" ]]; then
        fail "modes: topic.cgi no longer belongs to $foreign_owner"
    fi
    return 0
}

# Links. Symbolic links are followed: a link to a regular file is listed under its own name, the
# file it finally points to is replaced (the temporary file is made in that file's folder) and
# the link stays as it was. A dangling or looping link is not listed. A second hard link keeps
# the old bytes, since the script's name is given a new file.
case_links() {
    local family="links"
    make_reference "$work/ref-links" absolute.cgi "$demo_site/login.cgi" \
        alias.cgi "$demo_site/forum.cgi" chained.cgi "$demo_site/search.cgi" \
        forum.cgi "$demo_site/forum.cgi" help.cgi "$demo_site/help.cgi" \
        outside.cgi "$demo_site/profile.cgi" post.cgi "$demo_site/post.cgi" \
        relative.cgi "$demo_site/admin.cgi" topic.cgi "$demo_site/topic.cgi" unrelated.cgi "$demo_site/postings.cgi" || return 0
    local top=$work/links
    site=$top/site
    local sibling=$top/sibling
    mkdir -p "$site/lib" "$sibling"
    place forum.cgi "$site/forum.cgi"
    place help.cgi "$site/help.cgi"
    place topic.cgi "$site/topic.cgi"
    place post.cgi "$site/post.cgi"
    place relative.cgi "$site/lib/relative.txt"
    place absolute.cgi "$site/lib/absolute.txt" 0640
    place chained.cgi "$site/lib/chain.txt"
    place outside.cgi "$sibling/outside-target.cgi" 0750
    place unrelated.cgi "$sibling/unrelated.cgi"
    echo "notes of the site next door" >"$sibling/notes.txt"
    ln "$site/topic.cgi" "$sibling/topic-hard-link.cgi"
    ln -s lib/relative.txt "$site/relative.cgi"
    ln -s "$site/lib/absolute.txt" "$site/absolute.cgi"
    ln -s chain.txt "$site/lib/chain-step"
    ln -s lib/chain-step "$site/chained.cgi"
    ln -s forum.cgi "$site/alias.cgi"
    ln -s post.cgi "$site/new-post.cgi"
    ln -s missing.txt "$site/dangling.cgi"
    ln -s loop-b.cgi "$site/loop-a.cgi"
    ln -s loop-a.cgi "$site/loop-b.cgi"
    ln -s ../sibling/outside-target.cgi "$site/outside.cgi"
    touch -d '2001-02-03 04:05:06' "$sibling"/*

    local links_before sibling_before
    links_before=$(cd "$site" && find . -type l -printf '%p -> %l\n' | sort)
    sibling_before=$(snapshot "$sibling" | grep -v ' ./outside-target.cgi$\|^./outside-target.cgi ')

    forget_expectations
    expect_converted absolute.cgi "$site/lib/absolute.txt"
    # alias.cgi comes first and converts forum.cgi through the link: forum.cgi itself, read
    # next, has no marker any more.
    expect_converted alias.cgi "$site/forum.cgi"
    expect_converted chained.cgi "$site/lib/chain.txt"
    expected_lines+=("未改动：forum.cgi（没有 KQCGI 标记）")
    expect_left_alone help.cgi
    # The same with an upload script: new-post.cgi leads to post.cgi, so post.cgi's file gets
    # its upload rewrite through the link.
    expect_converted new-post.cgi "$site/post.cgi" post.cgi
    expect_converted outside.cgi "$sibling/outside-target.cgi"
    expected_lines+=("未改动：post.cgi（没有 KQCGI 标记）")
    expect_converted relative.cgi "$site/lib/relative.txt"
    expect_converted topic.cgi
    expect_file "$sibling/topic-hard-link.cgi" topic.cgi old no

    local tracer=()
    if command -v strace >/dev/null; then
        tracer=(strace -f -y -o "$work/links.trace" -e "trace=openat,rename,renameat,renameat2")
    else
        echo "SKIP: links: strace is not installed, so where the temporary files go is not" \
            "checked"
    fi
    run_kqconvert "$site" "${tracer[@]}"
    check_run "$family" "links" "$top"

    local label="links"
    [[ $(cd "$site" && find . -type l -printf '%p -> %l\n' | sort) == "$links_before" ]] ||
        fail "$label: a link was changed or replaced by a file"
    local after
    after=$(snapshot "$sibling" | grep -v ' ./outside-target.cgi$\|^./outside-target.cgi ')
    if [[ $after != "$sibling_before" ]]; then
        fail "$label: the folder next to the site was changed beyond the target of outside.cgi:" \
            "$(differences "$sibling_before" "$after")"
    fi
    local name
    for name in "$site/topic.cgi" "$sibling/topic-hard-link.cgi"; do
        (($(stat -c %h "$name") == 1)) ||
            fail "$label: ${name#"$work"/} has $(stat -c %h "$name") names, 1 expected"
    done

    if ((${#tracer[@]} > 0)); then
        # Each temporary file is made in the folder of the file it replaces, and renamed there.
        local temporaries expected_temporaries
        temporaries=$(temporary_files "$work/links.trace")
        expected_temporaries=$(printf '%s\n' "links/site/lib links/site/lib/absolute.txt" \
            "links/site links/site/forum.cgi" "links/site/lib links/site/lib/chain.txt" \
            "links/site links/site/post.cgi" \
            "links/sibling links/sibling/outside-target.cgi" \
            "links/site/lib links/site/lib/relative.txt" "links/site links/site/topic.cgi" |
            sort)
        [[ $temporaries == "$expected_temporaries" ]] ||
            fail "$label: temporary files made or renamed elsewhere than expected" \
                "(- expected, + got, as: made in, renamed to):" \
                "$(differences "$expected_temporaries" "$temporaries")"
    fi

    # A second run writes nothing anywhere.
    local whole_before
    whole_before=$(snapshot "$top")
    forget_expectations
    expect_left_alone absolute.cgi "$site/lib/absolute.txt" "" new
    expect_left_alone alias.cgi "$site/forum.cgi" "" new
    expect_left_alone chained.cgi "$site/lib/chain.txt" "" new
    expected_lines+=("未改动：forum.cgi（没有 KQCGI 标记）")
    expect_left_alone help.cgi
    expect_left_alone new-post.cgi "$site/post.cgi" post.cgi new
    expect_left_alone outside.cgi "$sibling/outside-target.cgi" "" new
    expected_lines+=("未改动：post.cgi（没有 KQCGI 标记）")
    expect_left_alone relative.cgi "$site/lib/relative.txt" "" new
    expect_left_alone topic.cgi "" "" new
    run_kqconvert "$site"
    check_run "$family" "links, second run" "$top"
    [[ $(snapshot "$top") == "$whole_before" ]] || fail "links, second run: something was written"
    return 0
}

# Files that are no scripts though named like one: not listed, and nothing waits on them.
case_odd_files() {
    local family="FIFO, socket, folder"
    make_reference "$work/ref-odd" forum.cgi "$demo_site/forum.cgi" \
        help.cgi "$demo_site/help.cgi" inner.cgi "$demo_site/login.cgi" \
        post.cgi "$demo_site/post.cgi" || return 0
    site=$work/odd/site
    mkdir -p "$site/x.cgi"
    place forum.cgi "$site/forum.cgi"
    place help.cgi "$site/help.cgi"
    place post.cgi "$site/post.cgi"
    place inner.cgi "$site/x.cgi/inner.cgi"
    mkfifo "$site/fifo.cgi"
    ln -s /dev/zero "$site/zero.cgi"
    local socket=no
    if command -v python3 >/dev/null &&
        python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' \
            "$site/socket.cgi" 2>/dev/null && [[ -S $site/socket.cgi ]]; then
        socket=yes
    else
        echo "SKIP: odd files: nothing here can make a Unix socket (no python3); the socket" \
            "is left out"
    fi

    forget_expectations
    expect_converted forum.cgi
    expect_left_alone help.cgi
    expect_converted post.cgi
    expect_file "$site/x.cgi/inner.cgi" inner.cgi old no
    run_kqconvert "$site"
    check_run "$family" "odd files" "$site"
    [[ -p $site/fifo.cgi ]] || fail "odd files: fifo.cgi is no longer a FIFO"
    [[ $socket == no || -S $site/socket.cgi ]] || fail "odd files: socket.cgi is no longer a socket"
    [[ -d $site/x.cgi ]] || fail "odd files: the folder x.cgi is gone"
    [[ $(readlink "$site/zero.cgi") == /dev/zero ]] || fail "odd files: zero.cgi was changed"
    return 0
}

# A script that vanished or became unreadable after the list was made: strace makes the opening
# of that one script fail. It is named with the reason; the others are converted.
case_vanishing() {
    if ! command -v strace >/dev/null; then
        echo "SKIP: vanishing: strace is not installed; the case did not run"
        return "$skip_status"
    fi
    if strace -f -o /dev/null -e trace=write -e inject=write:error=ENOSPC:when=1 \
        /bin/echo probe >/dev/null 2>&1; then
        echo "SKIP: vanishing: strace cannot inject faults here; the case did not run"
        return "$skip_status"
    fi
    make_reference "$work/ref-vanishing" forum.cgi "$demo_site/forum.cgi" \
        help.cgi "$demo_site/help.cgi" post.cgi "$demo_site/post.cgi" \
        register.cgi "$demo_site/register.cgi" || return 0
    local names=(forum.cgi help.cgi post.cgi register.cgi)
    site=$work/vanishing/site

    local target error name
    for target in forum.cgi help.cgi post.cgi; do
        # The opening to fail is the reading of the script: the first openat on its path, unless
        # the listing opened it before.
        rm -rf "$site"
        mkdir -p "$site"
        for name in "${names[@]}"; do
            place "$name" "$site/$name"
        done
        strace -f -o "$work/opens.trace" -P "$site/$target" -e trace=openat "$kqconvert" \
            "$site" >/dev/null 2>&1
        local n
        n=$(grep -E '^[0-9]+ +openat\(' "$work/opens.trace" | grep -nE 'O_RDONLY' |
            grep -v O_DIRECTORY | head -n 1 | cut -d: -f1)
        if [[ -z $n ]]; then
            fail "vanishing: a clean run never opened $target for reading"
            continue
        fi
        ((n == 1)) || echo "note: $target is opened $((n - 1)) time(s) before it is read"

        for error in ENOENT EACCES; do
            local family="$error on open"
            rm -rf "$site"
            mkdir -p "$site"
            for name in "${names[@]}"; do
                place "$name" "$site/$name"
            done
            forget_expectations
            for name in "${names[@]}"; do
                if [[ $name == "$target" && $error == ENOENT ]]; then
                    expect_not_converted "$name" "$reason_gone"
                elif [[ $name == "$target" ]]; then
                    expect_not_converted "$name" "$reason_unreadable"
                elif has_marker "$ref/old/$name"; then
                    expect_converted "$name"
                else
                    expect_left_alone "$name"
                fi
            done
            run_kqconvert "$site" strace -f -o "$work/injected.trace" -P "$site/$target" \
                -e trace=openat -e inject="openat:error=$error:when=$n"
            check_run "$family" "$error on opening $target" "$site"
            local injected
            injected=$(grep -c 'INJECTED' "$work/injected.trace")
            ((injected == 1)) || fail "$error on opening $target: the fault was injected" \
                "$injected times, once expected"
        done
    done
    return 0
}

# ---------------------------------------------------------------------------------------------

main() {
    local case_name ran=0 result
    for case_name in "${selected_cases[@]}"; do
        "case_$case_name"
        result=$?
        ((result == skip_status)) || ran=$((ran + 1))
    done
    if ((ran == 0 && failures == 0)); then
        exit "$skip_status"
    fi
    finish_suite
}

site=
main
