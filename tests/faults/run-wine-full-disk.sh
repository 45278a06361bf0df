#!/usr/bin/env bash
# kqconvert.exe under Wine on a disk that fills up. The site lies on a small tmpfs mounted under
# /var/tmp and reached as Z:\var\tmp\..., with less room left on it than the conversion needs.
# After every run:
#   - each script that fitted holds exactly its converted bytes, each other one exactly its old
#     bytes, and the script without the marker is untouched;
#   - every script not converted is named with its reason, and no other is said to be converted;
#   - the exit status is 1;
#   - the folder holds exactly the site's scripts: no temporary file is left.
#
#   run-wine-full-disk.sh KQCONVERT_EXE WINDOWS_BUILD_DIR
#
# Runs on the host, not under the emulator: it mounts the tmpfs itself and starts Wine with the
# prefix of WINDOWS_BUILD_DIR (tools/wine-env.sh). Mounting needs root; without it, or without
# Wine, it prints a SKIP line and ends with status 77.
#
# Exit status: 0 all checks held, 1 a check failed, 2 usage, 77 skipped.
set -uo pipefail

readonly skip_status=77
readonly temporary_prefix=.kqwizard-tmp-
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd) || exit 2
readonly here
readonly repo=$here/../..
readonly demo_site=$repo/examples/demo-site

if (($# != 2)) || [[ ! -f $1 ]]; then
    echo "usage: run-wine-full-disk.sh KQCONVERT_EXE WINDOWS_BUILD_DIR" >&2
    exit 2
fi
kqconvert=$(realpath "$1") || exit 2
readonly kqconvert
readonly build_dir=$2

# The site, in the order kqconvert takes it. gallery.cgi is a forum script padded to about 80 KiB,
# far more than the room left in the first case. register.cgi is padded to a few bytes short of a
# page: its conversion makes it longer, so even written in place it would need one page more than
# it takes up now.
readonly scripts=(forum.cgi gallery.cgi help.cgi post.cgi register.cgi)
readonly unmarked=help.cgi

if (($(id -u) != 0)); then
    echo "SKIP: mounting a small tmpfs needs root; the full-disk run under Wine did not run"
    exit "$skip_status"
fi
if ! command -v wine >/dev/null; then
    echo "SKIP: wine is not installed; the full-disk run under Wine did not run"
    exit "$skip_status"
fi

# shellcheck source-path=SCRIPTDIR source=../../tools/wine-env.sh
source "$repo/tools/wine-env.sh" "$build_dir" || exit 1
kq_wine_init || exit 1

work=$(mktemp -d /var/tmp/kq-wine-full-disk.XXXXXX) || exit 1
readonly work
readonly disk=$work/disk
cleanup() {
    if mountpoint -q "$disk"; then
        umount "$disk" || umount -l "$disk"
    fi
    rm -rf "$work"
}
trap cleanup EXIT
mkdir "$disk" || exit 1
# Wine keeps its current folder outside the tmpfs, so that nothing of it holds the mount.
cd "$work" || exit 1

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# ---------------------------------------------------------------------------------------------
# The site and the two states a script may be found in

# The sizes below are reckoned in pages of 4 KiB, the unit in which a tmpfs hands out room.
readonly page=4096
if [[ $(getconf PAGESIZE) != "$page" ]]; then
    echo "SKIP: the page size here is not $page bytes; the full-disk run under Wine did not run"
    exit "$skip_status"
fi

# pad_to FILE SIZE: comment lines (CR LF) after the end of FILE until it is SIZE bytes long.
pad_to() {
    local file=$1 size=$2 have
    have=$(stat -c %s "$file")
    while ((size - have >= 64 + 3)); do
        printf '# %060d\r\n' "$have" >>"$file"
        have=$((have + 64))
    done
    printf '#%*s\r\n' $((size - have - 3)) '' >>"$file"
}

# make_site DIR: a fresh copy of the site in DIR.
make_site() {
    local dir=$1
    mkdir -p "$dir"
    cp "$demo_site/forum.cgi" "$demo_site/help.cgi" "$demo_site/post.cgi" \
        "$demo_site/register.cgi" "$dir/"
    pad_to "$dir/register.cgi" $((page - 16))
    {
        cat "$demo_site/forum.cgi"
        local line
        for ((line = 1; line <= 2000; line++)); do
            printf '# gallery page %04d of the picture index\r\n' "$line"
        done
    } >"$dir/gallery.cgi"
}

windows_path() {
    local path=${1//\//\\}
    echo "Z:$path"
}

# run_kqconvert SITE: kqconvert.exe over SITE, its output in $work/out and $work/err (LF line
# ends), its exit status in $status. Files, not a pipe: a Wine service started by the run would
# hold a pipe open after kqconvert has ended.
run_kqconvert() {
    wine "$kqconvert" "$(windows_path "$1")" </dev/null >"$work/out.raw" 2>"$work/err.raw"
    status=$?
    tr -d '\r' <"$work/out.raw" >"$work/out"
    tr -d '\r' <"$work/err.raw" >"$work/err"
}

pages_of() { echo $((($(stat -c %s "$1") + page - 1) / page)); }

# The old bytes are the site as made; the new ones what a run with room to spare makes of it.
prepare_expected_states() {
    make_site "$work/old"
    make_site "$work/new"
    run_kqconvert "$work/new"
    if ((status != 0)); then
        fail "the run with room to spare ended with status $status instead of 0:" \
            "$(cat "$work/out" "$work/err")"
        return 1
    fi
    local old_pages new_pages
    old_pages=$(pages_of "$work/old/register.cgi")
    new_pages=$(pages_of "$work/new/register.cgi")
    ((new_pages > old_pages)) ||
        fail "converted, register.cgi takes $new_pages pages, not more than its $old_pages"
    local name
    for name in "${scripts[@]}"; do
        if [[ $name == "$unmarked" ]]; then
            cmp -s "$work/old/$name" "$work/new/$name" ||
                fail "the run with room to spare changed $name, which has no marker"
        elif cmp -s "$work/old/$name" "$work/new/$name"; then
            fail "the run with room to spare did not change $name"
        fi
    done
    ((failures == 0))
}

# state_of SITE NAME: old, new or garbled.
state_of() {
    if cmp -s "$1/$2" "$work/old/$2"; then
        echo old
    elif cmp -s "$1/$2" "$work/new/$2"; then
        echo new
    else
        echo garbled
    fi
}

# ---------------------------------------------------------------------------------------------
# One run on a full disk

declare -A case_runs=() case_checked=() case_lost=()
cases=()

# mount_disk KIB INODES: a fresh tmpfs of KIB KiB and at most INODES inodes (0: no limit).
mount_disk() {
    if ! mount -t tmpfs -o "size=${1}k,nr_inodes=$2,mode=0755" kq-full-disk "$disk"; then
        echo "SKIP: mount -t tmpfs failed (no privilege to mount here?);" \
            "the full-disk run under Wine did not run"
        exit "$skip_status"
    fi
}

available_bytes() { df -B1 --output=avail "$disk" | tail -n 1 | tr -d ' '; }
free_inodes() { df --output=iavail "$disk" | tail -n 1 | tr -d ' '; }

# fill_disk BYTES: a filler file beside the site takes all the room but BYTES.
fill_disk() {
    local keep=$1 available
    available=$(available_bytes)
    if ((available < keep)); then
        fail "the tmpfs has $available bytes free, fewer than the $keep the case needs"
        return 1
    fi
    head -c "$((available - keep))" /dev/zero >"$disk/filler"
    available=$(available_bytes)
    ((available == keep)) || fail "the tmpfs has $available bytes free instead of $keep"
}

# check_run CASE EXPECTED: the promises after one run; EXPECTED holds one word per script, in the
# order of `scripts`: new (converted) or old (kept).
check_run() {
    local label=$1 wanted
    read -r -a wanted <<<"$2"
    local site=$disk/site i name state converted=0 kept=0
    for i in "${!scripts[@]}"; do
        name=${scripts[$i]}
        case_checked[$label]=$((${case_checked[$label]:-0} + 1))
        state=$(state_of "$site" "$name")
        if [[ $state == garbled ]]; then
            case_lost[$label]=$((${case_lost[$label]:-0} + 1))
            fail "$label: $name holds neither its old nor its converted bytes"
        elif [[ $state != "${wanted[$i]}" ]]; then
            fail "$label: $name holds its $state bytes, ${wanted[$i]} expected"
        fi

        if [[ $name == "$unmarked" ]]; then
            grep -qxF "未改动：$name（没有 KQCGI 标记）" "$work/out" ||
                fail "$label: the output does not say that $name was left alone"
        elif [[ ${wanted[$i]} == new ]]; then
            converted=$((converted + 1))
            grep -qxF "已转换：$name" "$work/out" ||
                fail "$label: the output does not say that $name was converted"
        else
            kept=$((kept + 1))
            grep -qxE "未转换：$name：无法写回该文件，原内容保持不变（.+）" "$work/out" ||
                fail "$label: the output does not name $name as not written back, with a reason"
            ! grep -q "^已转换：$name" "$work/out" ||
                fail "$label: the output says $name was converted"
        fi
    done
    grep -qxF "共 ${#scripts[@]} 个脚本：已转换 $converted 个，未改动 1 个，未转换 $kept 个，需手工检查 0 个。" \
        "$work/out" || fail "$label: the summary line is missing or wrong"
    ((status == 1)) || fail "$label: exit status $status instead of 1"

    local listed
    listed=$(cd "$site" && find . -mindepth 1 -printf '%P\n' | sort | tr '\n' ' ')
    [[ $listed == "$(printf '%s\n' "${scripts[@]}" | sort | tr '\n' ' ')" ]] ||
        fail "$label: the site folder holds $listed"
    local leftovers
    leftovers=$(find "$site" -name "$temporary_prefix*")
    [[ -z $leftovers ]] || fail "$label: temporary file left: $leftovers"

    if ((failures > failures_before)); then
        echo "--- output of $label:"
        cat "$work/out" "$work/err"
    fi
}

# full_disk_run CASE KIB INODES KEEP EXPECTED: the site on a fresh tmpfs of KIB KiB and INODES
# inodes (0: no limit) with KEEP bytes left free (-: nothing filled), one run, then the checks.
full_disk_run() {
    local label=$1 kib=$2 inodes=$3 keep=$4 states=$5
    failures_before=$failures
    [[ -v case_runs[$label] ]] || cases+=("$label")
    case_runs[$label]=$((${case_runs[$label]:-0} + 1))
    mount_disk "$kib" "$inodes"
    make_site "$disk/site"
    if [[ $keep != - ]]; then
        fill_disk "$keep" || { umount "$disk"; return; }
    fi
    if [[ $inodes != 0 ]] && (($(free_inodes) != 0)); then
        fail "$label: the tmpfs has $(free_inodes) inodes free instead of none"
    fi
    run_kqconvert "$disk/site"
    check_run "$label" "$states"
    umount "$disk" || fail "$label: the tmpfs could not be unmounted"
}

# ---------------------------------------------------------------------------------------------

print_table() {
    echo
    printf '%-40s %6s %16s %11s\n' fault runs "scripts checked" "bytes lost"
    local label total_runs=0 total_checked=0 total_lost=0
    for label in "${cases[@]}"; do
        printf '%-40s %6d %16d %11d\n' "$label" "${case_runs[$label]}" \
            "${case_checked[$label]:-0}" "${case_lost[$label]:-0}"
        total_runs=$((total_runs + case_runs[$label]))
        total_checked=$((total_checked + ${case_checked[$label]:-0}))
        total_lost=$((total_lost + ${case_lost[$label]:-0}))
    done
    printf '%-40s %6d %16d %11d\n' total "$total_runs" "$total_checked" "$total_lost"
    echo
    echo "bytes lost: scripts holding neither their old nor their converted bytes."
}

main() {
    prepare_expected_states || exit 1
    # Two pages free: every script fits but gallery.cgi, whose temporary file takes the two pages
    # and then meets a full disk.
    full_disk_run "disk full on write, one script too large" 256 0 8192 "new old old new new"
    # No room at all: every temporary file meets a full disk at its first byte. (Written in
    # place, register.cgi would be cut short here.)
    full_disk_run "disk full on write, no room at all" 256 0 0 "old old old old old"
    # Room, but no inode left: the temporary file cannot be created.
    full_disk_run "no inode for the temporary file" 256 $((2 + ${#scripts[@]})) - \
        "old old old old old"
    print_table
    if ((failures > 0)); then
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "all checks held"
}

main
