#!/usr/bin/env bash
# Runs kqconvert, as a process, over sites that hold more than plain scripts (links, a FIFO, a
# socket, a folder, unusual modes and owners), on a real full disk and under a file size limit,
# and checks after every run that:
#   - the output is exactly one line per listed script, in list order, saying what became of it
#     and, for a script not converted, why, then the summary; only regular files and links to
#     them are listed; the exit status is 1 when a script was not converted, 0 otherwise, and
#     kqconvert ends by itself (no hang, no signal);
#   - every file holds exactly its old bytes or those of a clean conversion, as expected, keeps
#     its mode and owner, and a file not to be written keeps its inode and modification time;
#   - no temporary file is left.
#
#   run-odd-files.sh KQCONVERT CASE...      full_disk file_size_limit modes links odd_files long_path
#   run-odd-files.sh --wine BUILD_DIR KQCONVERT.EXE full_disk long_path
#
# full_disk mounts a small tmpfs (root only); under --wine the site on it is reached as Z:.
# Exit status: 0 all checks held, 1 a check failed, 77 none of the cases could run here (each
# says why on a "SKIP:" line).
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd) || exit 2
readonly here
# shellcheck source=SCRIPTDIR/fault-lib.sh
source "$here/fault-lib.sh"

wine=
if [[ ${1:-} == --wine ]]; then
    # shellcheck source=../../tools/wine-env.sh
    source "$here/../../tools/wine-env.sh" "$2" && kq_wine_init || exit 1
    wine=yes
    shift 2
fi
if (($# < 2)) || [[ ! -f $1 ]]; then
    echo "usage: run-odd-files.sh [--wine BUILD_DIR] KQCONVERT CASE..." >&2
    exit 2
fi
kqconvert=$(realpath "$1") || exit 2
shift
make_work_folder kq-odd-files

readonly reason_read_only="文件为只读，未作修改（Permission denied）"
readonly reason_too_large="无法写回该文件，原内容保持不变（File too large）"
# Wine puts a full disk into words of its own.
reason_disk_full="无法写回该文件，原内容保持不变（No space left on device）"
[[ -z $wine ]] || reason_disk_full="无法写回该文件，原内容保持不变（*）"

# ---------------------------------------------------------------------------------------------
# Expectations for one run, made before it

lines=() files=() refs=() states=() metas=() identities=()
forget() { lines=() files=() refs=() states=() metas=() identities=(); }

# expect_file FILE REF STATE WRITTEN: after the run FILE holds the STATE (old or new) bytes of the
# reference script REF, with its mode and owner; WRITTEN is no for a file that must stay as it is.
expect_file() {
    files+=("$1") refs+=("$2") states+=("$3") metas+=("$(metadata "$1")")
    if [[ $4 == no ]]; then identities+=("$(identity "$1")"); else identities+=(""); fi
}
expect_converted() { lines+=("已转换：$1"); expect_file "${2:-$site/$1}" "${3:-$1}" new yes; }
expect_left_alone() {
    lines+=("未改动：$1（没有 KQCGI 标记）")
    expect_file "${2:-$site/$1}" "${3:-$1}" "${4:-old}" no
}
expect_not_converted() { lines+=("未转换：$1：$2"); expect_file "$site/$1" "$1" old no; }

# check_run LABEL FOLDER...: the checks after one run; FOLDER... are searched for temporaries.
check_run() {
    local label=$1 line expected_status=0 converted=0 alone=0 not_converted=0
    shift
    for line in "${lines[@]}"; do
        case $line in
            已转换：*) converted=$((converted + 1)) ;;
            未改动：*) alone=$((alone + 1)) ;;
            *) not_converted=$((not_converted + 1)) expected_status=1 ;;
        esac
    done
    lines+=("共 ${#lines[@]} 个脚本：已转换 $converted 个，未改动 $alone 个，未转换 $not_converted 个，需手工检查 0 个。")
    if ((status == 124 || status > 128)); then
        fail "$label: kqconvert hung or died (status $status): $output"
    elif ((status != expected_status)); then
        fail "$label: exit status $status, $expected_status expected"
    fi
    local got i
    mapfile -t got <<<"$output"
    # An expected line may stand for the system's words with a "*".
    for i in "${!lines[@]}"; do
        # shellcheck disable=SC2053
        [[ ${got[i]:-} == ${lines[i]} ]] || fail "$label: line $((i + 1)) is \"${got[i]:-}\", \"${lines[i]}\" expected"
    done
    ((${#got[@]} == ${#lines[@]})) || fail "$label: ${#got[@]} lines of output: $output"
    local state
    for i in "${!files[@]}"; do
        state=$(state_of "${files[i]}" "${refs[i]}")
        [[ $state == "${states[i]}" ]] || fail "$label: ${files[i]#"$work"/} holds $state bytes, ${states[i]} expected"
        [[ $(metadata "${files[i]}") == "${metas[i]}" ]] || fail "$label: mode or owner of ${files[i]#"$work"/} changed"
        [[ -z ${identities[i]} || $(identity "${files[i]}") == "${identities[i]}" ]] ||
            fail "$label: ${files[i]#"$work"/} was written, though it was to be left alone"
    done
    check_no_leftovers "$label" "$@"
}

# A site of the demo scripts; two of them padded with comment lines to some 18 KB, so that a
# few blocks of room or a small file size limit are not enough for every script.
readonly sized=(admin.cgi forum.cgi help.cgi post.cgi register.cgi)
make_sized_reference() {
    mkdir -p "$work/sources"
    local name
    for name in admin.cgi register.cgi; do
        cp "$demo_site/$name" "$work/sources/$name"
        for ((line = 0; line < 250; line++)); do
            printf '# padding line %03d: a long site script keeps its history in comments\r\n' "$line"
        done >>"$work/sources/$name"
    done
    make_reference "$work/ref-sized" admin.cgi "$work/sources/admin.cgi" \
        forum.cgi "$demo_site/forum.cgi" help.cgi "$demo_site/help.cgi" \
        post.cgi "$demo_site/post.cgi" register.cgi "$work/sources/register.cgi"
}

# expect_fitting UNITS UNIT REASON: the expectations for the sized site when a script's new
# bytes fit only into UNITS units of UNIT bytes.
expect_fitting() {
    local name
    forget
    for name in "${sized[@]}"; do
        if cmp -s "$ref/old/$name" "$ref/new/$name"; then
            expect_left_alone "$name"
        elif (($(stat -c %s "$ref/new/$name") <= $1 * $2)); then
            expect_converted "$name"
        else
            expect_not_converted "$name" "$3"
        fi
    done
}

place_sized_site() {
    local name
    rm -rf "$site" && mkdir -p "$site"
    for name in "${sized[@]}"; do cp "$ref/old/$name" "$site/$name"; done
}

# ---------------------------------------------------------------------------------------------
# Cases; each returns the skip status when this machine does not allow it.

# A real full disk: a small tmpfs holding the site and a filler that leaves ROOM blocks free. A
# script is converted when its new bytes fit into ROOM (the old file's blocks come back only with
# the rename that replaces it); the others fail at writing, part-way for the large ones. Last,
# room but no inode left: no temporary file can be made at all.
case_full_disk() {
    is_root || { echo "SKIP: full disk: not root, so no tmpfs can be mounted"; return "$skip_status"; }
    local disk=$work/disk
    mkdir -p "$disk"
    make_sized_reference
    local room inodes block
    for room in 0 1 4 5 inodes; do
        inodes=0
        [[ $room != inodes ]] || inodes=$((${#sized[@]} + 3))
        mount -t tmpfs -o "size=160k,nr_inodes=$inodes,mode=0755" kq-full-disk "$disk" ||
            { echo "SKIP: full disk: no tmpfs can be mounted here"; return "$skip_status"; }
        mounted=("$disk")
        site=$disk/site
        place_sized_site
        block=$(stat -f -c %S "$disk")
        if [[ $room == inodes ]]; then
            touch "$disk/filler"
            expect_fitting 0 "$block" "${reason_disk_full/No space left on device/*}"
        else
            head -c $((($(stat -f -c %a "$disk") - room) * block)) /dev/zero >"$disk/filler"
            (($(stat -f -c %a "$disk") == room)) || fail "full disk: not $room blocks free"
            expect_fitting "$room" "$block" "$reason_disk_full"
        fi
        local filler_before free_before
        filler_before=$(identity "$disk/filler") free_before=$(stat -f -c %a:%d "$disk")
        run_kqconvert "$site"
        check_run "full disk, room $room" "$disk"
        [[ $(identity "$disk/filler") == "$filler_before" ]] || fail "full disk: the filler was written"
        [[ $(stat -f -c %a:%d "$disk") == "$free_before" ]] || fail "full disk, room $room: room lost"
        umount "$disk" && mounted=()
    done
}

# ulimit -f: a write beyond the limit fails with EFBIG (SIGXFSZ, whose default is to end the
# process, must not stop kqconvert); the scripts whose new bytes fit are converted.
case_file_size_limit() {
    make_sized_reference
    site=$work/limit/site
    local limit
    for limit in 0 2 16 64; do # KiB, as ulimit -f counts
        place_sized_site
        expect_fitting "$limit" 1024 "$reason_too_large"
        output=$(ulimit -f "$limit" && exec timeout 60 "$kqconvert" "$site" 2>&1)
        status=$?
        check_run "ulimit -f $limit" "$work/limit"
    done
}

# Modes and owners: converted scripts keep both; a script without the owner's write bit is
# refused even for root, who could write it.
case_modes() {
    make_reference "$work/ref-modes" admin.cgi "$demo_site/admin.cgi" \
        forum.cgi "$demo_site/forum.cgi" login.cgi "$demo_site/login.cgi" \
        post.cgi "$demo_site/post.cgi" topic.cgi "$demo_site/topic.cgi"
    site=$work/modes/site
    mkdir -p "$site"
    local name mode
    for name in admin:0444 forum:0755 login:0700 post:0600 topic:0664; do
        cp "$ref/old/${name%:*}.cgi" "$site/${name%:*}.cgi"
        chmod "${name#*:}" "$site/${name%:*}.cgi"
    done
    forget
    expect_not_converted admin.cgi "$reason_read_only"
    expect_converted forum.cgi
    expect_converted login.cgi
    expect_converted post.cgi
    if is_root; then
        chown 4242:4242 "$site/topic.cgi"
        expect_converted topic.cgi
    else
        echo "SKIP: modes: not root, so no script can belong to another user"
        rm "$site/topic.cgi"
    fi
    run_kqconvert "$site"
    check_run "modes" "$site"
}

# Links are followed: a link to a regular file is listed under its own name, the file it finally
# leads to is replaced, its temporary file made in that file's folder, and the link stays. A
# dangling or looping link is not listed. A second hard link keeps the old bytes. Nothing else
# outside the site is written.
case_links() {
    make_reference "$work/ref-links" absolute.cgi "$demo_site/login.cgi" \
        alias.cgi "$demo_site/forum.cgi" chained.cgi "$demo_site/search.cgi" \
        forum.cgi "$demo_site/forum.cgi" outside.cgi "$demo_site/profile.cgi" \
        post.cgi "$demo_site/post.cgi" relative.cgi "$demo_site/admin.cgi" \
        topic.cgi "$demo_site/topic.cgi"
    local top=$work/links sibling=$work/links/sibling
    site=$top/site
    mkdir -p "$site/lib" "$sibling"
    cp "$ref/old/forum.cgi" "$ref/old/topic.cgi" "$ref/old/post.cgi" "$site/"
    cp "$ref/old/relative.cgi" "$site/lib/relative.txt"
    cp "$ref/old/absolute.cgi" "$site/lib/absolute.txt" && chmod 0640 "$site/lib/absolute.txt"
    cp "$ref/old/chained.cgi" "$site/lib/chain.txt"
    cp "$ref/old/outside.cgi" "$sibling/outside-target.cgi" && chmod 0750 "$sibling/outside-target.cgi"
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
    local links_before notes_before
    links_before=$(find "$site" -type l -printf '%p -> %l\n' | sort)
    notes_before=$(identity "$sibling/notes.txt")

    forget
    expect_converted absolute.cgi "$site/lib/absolute.txt"
    # alias.cgi comes first and converts forum.cgi's file: forum.cgi then has no marker left. The
    # same with new-post.cgi -> post.cgi, whose file gets its upload rewrite through the link.
    expect_converted alias.cgi "$site/forum.cgi" forum.cgi
    expect_converted chained.cgi "$site/lib/chain.txt"
    lines+=("未改动：forum.cgi（没有 KQCGI 标记）")
    expect_converted new-post.cgi "$site/post.cgi" post.cgi
    expect_converted outside.cgi "$sibling/outside-target.cgi"
    lines+=("未改动：post.cgi（没有 KQCGI 标记）")
    expect_converted relative.cgi "$site/lib/relative.txt"
    expect_converted topic.cgi
    expect_file "$sibling/topic-hard-link.cgi" topic.cgi old no
    run_kqconvert "$site" strace -f -y -o "$work/links.trace" -e trace=openat,rename,renameat,renameat2
    check_run "links" "$top"
    [[ $(find "$site" -type l -printf '%p -> %l\n' | sort) == "$links_before" ]] ||
        fail "links: a link was changed or replaced by a file"
    [[ $(identity "$sibling/notes.txt") == "$notes_before" ]] || fail "links: the site next door was written"

    # Each temporary file is made in the folder of the file it replaces, and renamed there.
    local folder='[0-9]+<([^>]*)>' temporary="\"(\\${temporary_prefix}[0-9a-f]+)\"" made renamed
    made=$(sed -nE "s#^[0-9]+ +openat\\($folder, $temporary, O_WRONLY\\|O_CREAT.*#\\2 \\1#p" "$work/links.trace" | sort)
    renamed=$(sed -nE "s#^[0-9]+ +renameat2?\\($folder, $temporary, $folder, \"([^\"]+)\".*= 0\$#\\2 \\3/\\4#p" "$work/links.trace" | sort)
    local places
    places=$(join <(echo "$made") <(echo "$renamed") | cut -d' ' -f2- | sed "s#$top/##g" | sort)
    [[ $places == "$(printf '%s\n' "site/lib site/lib/absolute.txt" "site site/forum.cgi" \
        "site/lib site/lib/chain.txt" "site site/post.cgi" "sibling sibling/outside-target.cgi" \
        "site/lib site/lib/relative.txt" "site site/topic.cgi" | sort)" ]] ||
        fail "links: temporary files made or renamed elsewhere than beside their files: $places"
}

# Files that are no scripts though named like one: not listed, and nothing waits on them.
case_odd_files() {
    make_reference "$work/ref-odd" forum.cgi "$demo_site/forum.cgi" inner.cgi "$demo_site/login.cgi"
    site=$work/odd/site
    mkdir -p "$site/x.cgi"
    cp "$ref/old/forum.cgi" "$site/forum.cgi"
    cp "$ref/old/inner.cgi" "$site/x.cgi/inner.cgi"
    mkfifo "$site/fifo.cgi"
    ln -s /dev/zero "$site/zero.cgi"
    python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' "$site/socket.cgi"
    forget
    expect_converted forum.cgi
    expect_file "$site/x.cgi/inner.cgi" inner.cgi old no
    run_kqconvert "$site"
    check_run "odd files" "$site"
    [[ -p $site/fifo.cgi && -S $site/socket.cgi && -d $site/x.cgi ]] ||
        fail "odd files: the FIFO, the socket or the folder was changed"
}

# A folder deeper than the 260 characters Windows long allowed, holding scripts named like
# devices: each is an ordinary script, converted. (Wine takes such paths in any case; the names
# show that every file call goes through the system's long form.)
case_long_path() {
    make_reference "$work/ref-long" admin.cgi "$demo_site/admin.cgi" forum.cgi "$demo_site/forum.cgi"
    site=$work/$(printf 'a-folder-kept-deep-under-an-administrators-profile-%s/' 1 2 3 4 5 6)site
    mkdir -p "$site"
    cp "$ref/old/forum.cgi" "$site/con.cgi"
    cp "$ref/old/admin.cgi" "$site/nul.cgi"
    forget
    expect_converted con.cgi "$site/con.cgi" forum.cgi
    expect_converted nul.cgi "$site/nul.cgi" admin.cgi
    run_kqconvert "$site"
    check_run "a folder of ${#site} characters" "$site"
}

ran=0
site=
for case_name in "$@"; do
    "case_$case_name"
    (($? == skip_status)) || ran=$((ran + 1))
done
((ran > 0 || failures > 0)) || exit "$skip_status"
finish_suite
