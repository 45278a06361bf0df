#!/usr/bin/env bash
# kqconvert.exe under Wine with its output redirected to files, as `kqconvert.exe 网站 > 记录.txt`
# does on Windows: the files must hold exactly the expected report in the code page that a reader
# of them uses.
#   - in a console whose output code page is 936 (set by chcp): code page 936 bytes, so a diff
#     shows each script's own bytes; the error stream too;
#   - in a console at 65001, and with --utf8 in a console at 936: UTF-8;
#   - without a console: the system's code page (936 for a Chinese locale);
#   - a name the code page lacks a character of is written with "?" in its place.
# The expected texts are the golden case diff-of-a-small-site and unknown-option-refused (UTF-8,
# LF), with CR LF line ends, recoded by iconv where the code page is 936.
#
#   run-code-pages.sh BUILD_DIR KQCONVERT.EXE
#
# Exit status: 0 all checks held, 1 a check failed, 77 this machine cannot give Wine a console
# (no `script`).
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd) || exit 2
readonly here
readonly golden=$here/../data
if (($# != 2)) || [[ ! -f $2 ]]; then
    echo "usage: run-code-pages.sh BUILD_DIR KQCONVERT.EXE" >&2
    exit 2
fi
if ! command -v script >/dev/null; then
    echo "SKIP: no \`script\` to give Wine a console"
    exit 77
fi
# shellcheck source=SCRIPTDIR/../../tools/wine-env.sh
source "$here/../../tools/wine-env.sh" "$1" && kq_wine_init || exit 1
# shellcheck source=SCRIPTDIR/../support/scratch-folder.sh
source "$here/../support/scratch-folder.sh"
scratch_folder kq-code-pages
# cmd takes the program's path as it stands: a copy where the path has no blank.
cp "$2" "$work/kqconvert.exe" || exit 1
kqconvert=$(winepath -w "$work/kqconvert.exe") || exit 1
export LC_ALL=C.UTF-8

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

windows() { winepath -w "$1"; }
crlf() { sed 's/$/\r/' "$1"; }

# in_console CODE_PAGE ARGUMENTS: kqconvert.exe started by cmd in a console (Wine gives a program
# one when it runs on a terminal, here a pseudo-terminal from `script`) whose output code page is
# CODE_PAGE, its streams redirected to $work/out and $work/err; sets status.
in_console() {
    local code_page=$1
    shift
    rm -f "$work/out" "$work/err"
    # shellcheck disable=SC2016 # $KQ_COMMAND is expanded by the shell that script starts
    KQ_COMMAND="chcp $code_page >nul & $kqconvert $* > $(windows "$work/out") 2> $(windows "$work/err")" \
        timeout 120 script -qec 'wine cmd /c "$KQ_COMMAND"' /dev/null </dev/null >/dev/null 2>&1
    status=$?
}

# expect LABEL FILE EXPECTED_FILE: FILE holds exactly the bytes of EXPECTED_FILE.
expect() {
    if [[ ! -f $2 ]]; then
        fail "$1: nothing was written"
    elif ! cmp -s "$2" "$3"; then
        fail "$1: other bytes than expected; first difference: $(cmp "$2" "$3" 2>&1 | head -n 1)"
    fi
}

diff_case=$golden/diff-of-a-small-site
crlf "$diff_case/output" >"$work/diff.utf8"
iconv -f UTF-8 -t GBK "$work/diff.utf8" >"$work/diff.936" || exit 1
crlf "$golden/unknown-option-refused/errors" >"$work/usage.utf8"
iconv -f UTF-8 -t GBK "$work/usage.utf8" >"$work/usage.936" || exit 1

# run_diff LABEL EXPECTED RUNNER...: the diff case over a fresh copy of its site, every script of
# which is converted.
run_diff() {
    local label=$1 expected=$2
    shift 2
    rm -rf "$work/site"
    cp -R "$diff_case/input" "$work/site"
    "$@" --diff "$(windows "$work/site")"
    ((status == 0)) || fail "$label: exit status $status, not 0"
    expect "$label" "$work/out" "$expected"
}

run_diff "console 936" "$work/diff.936" in_console 936
run_diff "console 65001" "$work/diff.utf8" in_console 65001
run_diff "console 936, --utf8" "$work/diff.utf8" in_console 936 --utf8

in_console 936 --bogus "$(windows "$work")"
((status == 2)) || fail "usage error: exit status $status, not 2"
expect "usage error in console 936" "$work/err" "$work/usage.936"

# No console (no terminal): the system's code page, 936 in a Chinese locale.
no_console() {
    LC_ALL=zh_CN.UTF-8 timeout 120 wine "$kqconvert" "$@" </dev/null >"$work/out" 2>"$work/err"
    status=$?
}
run_diff "no console, system code page 936" "$work/diff.936" no_console

# A character that code page 936 lacks (the Hangul 한).
mkdir -p "$work/hangul"
printf 'print 1;\r\n' >"$work/hangul/한.cgi"
line() { printf '未改动：%s.cgi（没有 KQCGI 标记）\r\n共 1 个脚本：已转换 0 个，未改动 1 个，未转换 0 个，需手工检查 0 个。\r\n' "$1"; }
line '?' | iconv -f UTF-8 -t GBK >"$work/hangul.936"
line '한' >"$work/hangul.utf8"
in_console 936 "$(windows "$work/hangul")"
expect "a name outside code page 936" "$work/out" "$work/hangul.936"
in_console 936 --utf8 "$(windows "$work/hangul")"
expect "a name outside code page 936, --utf8" "$work/out" "$work/hangul.utf8"

((failures == 0)) || { echo "$failures check(s) failed"; exit 1; }
echo "all checks held"
