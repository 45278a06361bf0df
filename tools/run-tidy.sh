#!/usr/bin/env bash
# clang-tidy (the checks of .clang-tidy) over every source file of src/, as each build compiles
# it: the linux build's files natively, then the windows build's (the Windows layer with them)
# with clang aimed at MinGW-w64 and given the library headers of the cross compiler that the
# windows build was configured with. Prints each file's findings together, and exits 1 when
# clang-tidy fails on any file. Run by make tidy and make test, after both presets are configured.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
readonly jobs=${JOBS:-2}

# sources BUILD: the files under src/ that BUILD compiles, one a line.
sources() {
    grep -o '"file": "[^"]*"' "$1/compile_commands.json" | cut -d'"' -f4 |
        grep "^$PWD/src/.*\.cpp$" | sort -u
}

findings=$(mktemp -d)
trap 'rm -rf "$findings"' EXIT

# tidy BUILD EXTRA_ARGUMENTS...: clang-tidy on each of BUILD's sources, two files at a time, each
# into a file of its own, shown in the sources' order without the counts of warnings it
# suppressed; fails when any run failed.
tidy() {
    local build=$1 status=0 file
    shift
    echo "=== clang-tidy: $build"
    rm -f "$findings"/*
    sources "$build" | xargs -P "$jobs" -I{} sh -c '
        out="$1/$(printf %s "$2" | tr / _)"
        shift 2
        clang-tidy --quiet "$@" >"$out" 2>&1 || echo failed >"$out.failed"' \
        tidy "$findings" {} -p "$build" "$@" {}
    for file in $(sources "$build"); do
        grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' \
            "$findings/$(printf %s "$file" | tr / _)" || true
    done
    if compgen -G "$findings/*.failed" >/dev/null; then
        status=1
    fi
    return "$status"
}

# The cross compiler the windows build was configured with, and its own library headers.
cross_compiler=$(grep -o -m 1 '"command": "[^ ]*' build/windows/compile_commands.json | cut -d'"' -f4)
[[ -n $cross_compiler ]] || { echo "run-tidy: build/windows is not configured"; exit 1; }
mingw_headers=()
while read -r folder; do
    mingw_headers+=("--extra-arg=-isystem$folder")
done < <("$cross_compiler" -E -x c++ - -v </dev/null 2>&1 |
    sed -n '/#include <...> search starts here/,/End of search list/p' | grep '^ /' |
    grep -v -E '/include(-fixed)?$')
target=$("$cross_compiler" -dumpmachine)

failed=0
tidy build/linux || failed=1
tidy build/windows "--extra-arg=--target=$target" "${mingw_headers[@]}" || failed=1
if ((failed)); then
    echo "run-tidy: clang-tidy found the above"
    exit 1
fi
echo "run-tidy: clean"
