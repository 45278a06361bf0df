#!/usr/bin/env bash
# Site benchmark: synthetic forum sites of 100, 1,000 and 10,000 scripts (about 52 KB each, made by
# bench/make_site.pl) converted by kqconvert and by bench/perl_rewrite.pl (the same rewrites with
# Perl regular expressions, as an administrator would write them, with no flush at all), each
# script replaced by its own bytes with the least work of kqconvert's promise (replace_unchanged:
# read, temporary file, one flush, rename, one flush of the folder), and copied with cp -R, alone
# and followed by sync (a durable copy, for scale), each on a fresh copy of the site: once in
# build/ on the disk, once on a memory file system where no flush reaches a disk. Prints median
# wall times side by side and checks that kqconvert and the Perl rewrite leave the same bytes.
#
# Goals, for 1,000 scripts: on the disk, kqconvert within 1.1 times replace_unchanged; in memory,
# where the Perl rewrite's want of flushes does not count, within half its time. Exit status 1
# when one is missed.
#
#   bench/site_bench.sh [KQCONVERT [REPLACE_UNCHANGED]]
#                       (default: build/bench/src/app/kqconvert, build/bench/bench/replace_unchanged)
#
# Environment: BENCH_RUNS (5; 3 for the largest site), BENCH_SITE_DIR (build/bench-site),
# BENCH_MEMORY_DIR (/dev/shm/kq-bench-site), BENCH_BEFORE (another kqconvert, say an earlier
# version's, timed in the same runs and shown in a column of its own).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

kqconvert=${1:-build/bench/src/app/kqconvert}
unchanged=${2:-build/bench/bench/replace_unchanged}
before=${BENCH_BEFORE:-}
disk_dir=${BENCH_SITE_DIR:-build/bench-site}
memory_dir=${BENCH_MEMORY_DIR:-/dev/shm/kq-bench-site}
runs=${BENCH_RUNS:-5}
[[ -x $kqconvert ]] || { echo "site-bench: no kqconvert at $kqconvert" >&2; exit 1; }
[[ -x $unchanged ]] || { echo "site-bench: no replace_unchanged at $unchanged" >&2; exit 1; }
trap 'rm -rf "$memory_dir"' EXIT

# timed COMMAND...: its wall time in seconds, after writing every dirty page out so that no run
# pays for another's writes.
timed() {
    sync
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f\n", b - a }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
durable_copy() { cp -R "$1" "$2" && sync; }

failures=0
# measure PLACE DIR SCRIPTS RUNS: one row of the table; for 1,000 scripts on the disk, the goals.
measure() {
    local place=$1 work=$2 scripts=$3 n=$4
    rm -rf "$work" && mkdir -p "$work"
    perl bench/make_site.pl "$work/site" "$scripts" 52000
    local mib
    mib=$(du -sm "$work/site" | cut -f1)
    local copy=() durable=() same=() kq=() perl_times=() earlier=(0) run
    for ((run = 1; run <= n; run++)); do
        rm -rf "$work/copy" "$work/durable" "$work/same" "$work/kq" "$work/perl" "$work/before"
        cp -R "$work/site" "$work/same" && cp -R "$work/site" "$work/kq" &&
            cp -R "$work/site" "$work/perl"
        copy+=("$(timed cp -R "$work/site" "$work/copy")")
        durable+=("$(timed durable_copy "$work/site" "$work/durable")")
        same+=("$(timed "$unchanged" "$work/same")")
        kq+=("$(timed "$kqconvert" "$work/kq")")
        perl_times+=("$(timed perl bench/perl_rewrite.pl "$work/perl")")
        if [[ -n $before ]]; then
            cp -R "$work/site" "$work/before"
            earlier+=("$(timed "$before" "$work/before")")
        fi
    done
    diff -r -q "$work/kq" "$work/perl" >/dev/null ||
        { echo "site-bench: kqconvert and the Perl rewrite disagree in $work" >&2; exit 1; }
    local c d u k p b
    b=$(printf '%s\n' "${earlier[@]:1}" | median)
    c=$(printf '%s\n' "${copy[@]}" | median)
    d=$(printf '%s\n' "${durable[@]}" | median)
    u=$(printf '%s\n' "${same[@]}" | median)
    k=$(printf '%s\n' "${kq[@]}" | median)
    p=$(printf '%s\n' "${perl_times[@]}" | median)
    awk -v place="$place" -v s="$scripts" -v mib="$mib" -v c="$c" -v d="$d" -v u="$u" -v k="$k" \
        -v p="$p" -v b="${b:-0}" 'BEGIN {
                 printf "%-8s %7d %6d %9.3f %9.3f %9.3f %9.3f %9.3f %9.2f %9.2f %9.2f",
                 place, s, mib, c, d, u, k, p, k / u, k / d, k / p
                 if (b > 0) printf " %9.3f %9.2f %9.2f", b, b / u, b / p
                 printf "\n" }'
    rm -rf "$work"
    if [[ $scripts == 1000 && $place == disk ]]; then
        awk -v k="$k" -v u="$u" 'BEGIN { exit !(k > 1.1 * u) }' &&
            { echo "site-bench: goal missed: kqconvert $k s, more than 1.1 times replace_unchanged ($u s)"; failures=$((failures + 1)); }
    fi
    if [[ $scripts == 1000 && $place == memory ]]; then
        awk -v k="$k" -v p="$p" 'BEGIN { exit !(k > 0.5 * p) }' &&
            { echo "site-bench: goal missed: kqconvert $k s, more than half the Perl rewrite ($p s)"; failures=$((failures + 1)); }
    fi
    return 0
}

echo "=== site benchmark: median wall seconds of $runs runs ($(nproc) cores," \
    "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'))"
printf "%-8s %7s %6s %9s %9s %9s %9s %9s %9s %9s %9s%s\n" place scripts MiB "cp -R" "+ sync" \
    unchanged kqconvert perl "kq÷unch" "kq÷durable" "kq÷perl" \
    "${before:+    before    b÷unch    b÷perl}"
for place in disk memory; do
    dir=$disk_dir
    [[ $place == disk ]] || dir=$memory_dir
    measure "$place" "$dir" 100 "$runs"
    measure "$place" "$dir" 1000 "$runs"
    measure "$place" "$dir" 10000 3
done
((failures == 0)) || exit 1
