#!/usr/bin/env bash
# Every script of the golden sites that the conversion changes, compiled by Perl (perl -c) before
# and after: before with the stand-in KQCGI module of the demo forum, after with Debian's CGI
# module and no stand-in. What compiled before must compile after. Left out: scripts with no LF
# at all (to Perl a script whose lines end in CR alone is one comment line), and the one whose
# require path holds a semicolon: the wrap ends the last require statement at its first
# semicolon, inside the path there, as a search without a Perl parser must.
#
#   run-perl-compile.sh GOLDEN-DATA STAND-IN-FOLDER
set -uo pipefail

data=$(realpath "$1") || exit 2
standin=$(realpath "$2") || exit 2
[[ -f $standin/KQCGI.pm ]] || { echo "no KQCGI.pm in $standin"; exit 2; }
# Perl runs in an empty folder, so that nothing but the named module folder is found.
# shellcheck source=SCRIPTDIR/../support/scratch-folder.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/scratch-folder.sh"
scratch_folder kq-perl-compile
empty=$work

compiles() { (cd "$empty" && perl -c "$@" >/dev/null 2>&1); }

both=0
failures=0
for input in "$data"/*/input/*.cgi; do
    [[ -f $input ]] || continue
    golden=$(dirname "$(dirname "$input")")
    [[ -d $golden/expected ]] || continue
    after=$golden/expected/$(basename "$input")
    [[ ${input#"$data"/} != require-wrap-block-bounds/input/semicolon-in-path.cgi ]] || continue
    grep -q $'\n' "$input" || continue
    cmp -s "$input" "$after" && continue
    compiles -I"$standin" "$input" || continue
    if compiles "$after"; then
        both=$((both + 1))
    else
        echo "FAIL: ${input#"$data"/} compiled before the conversion, not after:"
        (cd "$empty" && perl -c "$after" 2>&1 | head -n 5)
        failures=$((failures + 1))
    fi
done

echo "$both script(s) compiled before and after the conversion"
((both > 0)) || { echo "FAIL: no script compiled before the conversion"; exit 1; }
((failures == 0))
