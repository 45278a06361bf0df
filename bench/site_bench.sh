#!/usr/bin/env bash
# Site benchmark: a synthetic forum site of SITE_SCRIPTS scripts (about 100 MiB) is converted by
# kqconvert and by bench/perl_rewrite.pl (the same rewrites with Perl regular expressions, as an
# administrator would do them by hand), and copied with cp -R (the I/O floor), each time on a
# fresh copy of the same site. Prints the median wall times side by side and checks that
# kqconvert and the Perl script leave the same bytes. Not a test: nothing here fails on time.
#
#   bench/site_bench.sh [KQCONVERT]        (default: build/bench/src/app/kqconvert)
#
# Environment: SITE_SCRIPTS (2000), SITE_SCRIPT_BYTES (52000), BENCH_RUNS (5),
# BENCH_SITE_DIR (build/bench-site; removed and made afresh).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

kqconvert=${1:-${KQCONVERT:-build/bench/src/app/kqconvert}}
work=${BENCH_SITE_DIR:-build/bench-site}
scripts=${SITE_SCRIPTS:-2000}
script_bytes=${SITE_SCRIPT_BYTES:-52000}
runs=${BENCH_RUNS:-5}

if [[ ! -x $kqconvert ]]; then
    echo "site-bench: no kqconvert at $kqconvert (build the bench preset first)" >&2
    exit 1
fi

rm -rf "$work"
mkdir -p "$work"
perl bench/make_site.pl "$work/site" "$scripts" "$script_bytes"
site_bytes=$(du -sb "$work/site" | cut -f1)

# timed OUTPUT_FILE COMMAND...: runs the command with its output in OUTPUT_FILE, after writing
# every dirty page out so that no run pays for another's writes, and prints its wall time and its
# processor time (user + system), in seconds.
timed() {
    local output=$1
    shift
    sync
    local TIMEFORMAT='%R %U %S'
    local times
    times=$({ time "$@" >"$output" 2>&1; } 2>&1)
    awk '{ printf "%.4f %.4f\n", $1, $2 + $3 }' <<<"$times"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

declare -A wall cpu
for ((run = 1; run <= runs; run++)); do
    rm -rf "$work/copy" "$work/kqconvert" "$work/perl"
    cp -R "$work/site" "$work/kqconvert"
    cp -R "$work/site" "$work/perl"
    read -r copy_wall copy_cpu < <(timed "$work/copy.log" cp -R "$work/site" "$work/copy")
    read -r kq_wall kq_cpu < <(timed "$work/kqconvert.log" "$kqconvert" "$work/kqconvert")
    read -r perl_wall perl_cpu < <(timed "$work/perl.log" perl bench/perl_rewrite.pl "$work/perl")
    wall[copy]+="$copy_wall "
    wall[kq]+="$kq_wall "
    wall[perl]+="$perl_wall "
    cpu[copy]+="$copy_cpu "
    cpu[kq]+="$kq_cpu "
    cpu[perl]+="$perl_cpu "
    echo "site-bench: run $run of $runs, wall (processor) seconds: copy $copy_wall ($copy_cpu)," \
        "kqconvert $kq_wall ($kq_cpu), perl $perl_wall ($perl_cpu)"
done

if ! tail -n 1 "$work/kqconvert.log" | grep -q "未转换 0 个，需手工检查 0 个"; then
    echo "site-bench: kqconvert did not convert the whole site:" >&2
    tail -n 5 "$work/kqconvert.log" >&2
    exit 1
fi
if ! diff -r -q "$work/kqconvert" "$work/perl" >"$work/differences.log"; then
    echo "site-bench: kqconvert and the Perl rewrite disagree; see $work/differences.log" >&2
    exit 1
fi

medianOf() { tr ' ' '\n' <<<"$1" | grep . | median; }
copy=$(medianOf "${wall[copy]}")
kq=$(medianOf "${wall[kq]}")
perl=$(medianOf "${wall[perl]}")
copy_cpu=$(medianOf "${cpu[copy]}")
kq_cpu=$(medianOf "${cpu[kq]}")
perl_cpu=$(medianOf "${cpu[perl]}")
mib=$(awk -v b="$site_bytes" 'BEGIN { printf "%.1f", b / 1048576 }')

echo
echo "=== site benchmark: $scripts scripts, $mib MiB, median of $runs runs"
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')," \
    "$(nproc) cores, $(df -T "$work" | awk 'NR == 2 { print $2 }') file system"
awk -v copy="$copy" -v kq="$kq" -v perl="$perl" -v mib="$mib" -v copy_cpu="$copy_cpu" \
    -v kq_cpu="$kq_cpu" -v perl_cpu="$perl_cpu" 'BEGIN {
    printf "%-26s %9s %9s %9s %12s\n", "", "wall s", "MiB/s", "x copy", "processor s"
    printf "%-26s %9.3f %9.0f %9.2f %12.3f\n", "copy (cp -R, I/O floor)", copy, mib / copy, 1,
        copy_cpu
    printf "%-26s %9.3f %9.0f %9.2f %12.3f\n", "kqconvert", kq, mib / kq, kq / copy, kq_cpu
    printf "%-26s %9.3f %9.0f %9.2f %12.3f\n", "perl_rewrite.pl", perl, mib / perl, perl / copy,
        perl_cpu
    printf "kqconvert takes %.2f of the Perl rewrite'"'"'s wall time.\n", kq / perl
}'
echo "Both leave the same bytes in every script."
awk -v copy="$copy" -v kq="$kq" -v perl="$perl" 'BEGIN {
    if (kq >= perl) print "NOTE: kqconvert is not faster than the Perl rewrite."
    if (kq > 3 * copy) print "NOTE: kqconvert takes more than three times the copy."
}'
