#!/usr/bin/env bash
# clang-tidy (the checks of .clang-tidy) over every source file of src/, as each build compiles
# it: the linux build's files natively, then the windows build's (the Windows layer with them)
# with clang aimed at MinGW-w64 and given that compiler's own library headers. Prints what it
# finds and exits 1 when clang-tidy fails on any file. Run by make tidy, after both presets are
# configured.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
readonly jobs=${JOBS:-2}

# sources BUILD: the files under src/ that BUILD compiles, one a line.
sources() {
    grep -o '"file": "[^"]*"' "$1/compile_commands.json" | cut -d'"' -f4 |
        grep "^$PWD/src/.*\.cpp$" | sort -u
}

output=$(mktemp)
trap 'rm -f "$output"' EXIT

# tidy BUILD EXTRA_ARGUMENTS...: clang-tidy on BUILD's sources, a few files per process; shows
# what it found without the counts of warnings it suppressed; fails when any run failed.
tidy() {
    local build=$1 status=0
    shift
    echo "=== clang-tidy: $build"
    sources "$build" | xargs -P "$jobs" -n 4 clang-tidy -p "$build" --quiet "$@" >"$output" 2>&1 ||
        status=$?
    grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' "$output" || true
    return "$status"
}

mingw_headers=()
while read -r folder; do
    mingw_headers+=("--extra-arg=-isystem$folder")
done < <(x86_64-w64-mingw32-g++-posix -E -x c++ - -v </dev/null 2>&1 |
    sed -n '/#include <...> search starts here/,/End of search list/p' | grep '^ /' |
    grep -v -E '/include(-fixed)?$')

failed=0
tidy build/linux || failed=1
tidy build/windows --extra-arg=--target=x86_64-w64-windows-gnu "${mingw_headers[@]}" || failed=1
if ((failed)); then
    echo "run-tidy: clang-tidy found the above"
    exit 1
fi
echo "run-tidy: clean"
