#!/usr/bin/env bash
# Runs every libFuzzer target of the fuzz build (build/fuzz/fuzz/) for FUZZ_SECONDS seconds each
# (default 60), starting from its saved corpus fuzz/corpus/<target>/ and with the dictionary
# fuzz/<target>.dict when there is one. The saved corpus is only read: the inputs found on the
# way go to build/fuzz/corpus/<target>/, crashing inputs to build/fuzz/artifacts/<target>/.
# Stops with an error at the first target that finds a fault.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

readonly fuzz_dir=build/fuzz/fuzz
readonly seconds=${FUZZ_SECONDS:-60}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
    echo "run-fuzzers: FUZZ_SECONDS must be a positive whole number of seconds, not '$seconds'" >&2
    exit 2
fi

mapfile -t targets < <(find "$fuzz_dir" -maxdepth 1 -type f -perm -u+x 2>/dev/null | sort)
if ((${#targets[@]} == 0)); then
    echo "run-fuzzers: there is no fuzz target yet in $fuzz_dir; nothing to run"
    exit 0
fi

for target in "${targets[@]}"; do
    name=$(basename "$target")
    work_corpus=build/fuzz/corpus/$name
    artifacts=build/fuzz/artifacts/$name
    mkdir -p "$work_corpus" "$artifacts"
    corpora=("$work_corpus")
    if [[ -d fuzz/corpus/$name ]]; then
        corpora+=("fuzz/corpus/$name")
    else
        echo "run-fuzzers: $name has no saved corpus in fuzz/corpus/$name; starting from nothing"
    fi
    options=(-max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts/")
    if [[ -f fuzz/$name.dict ]]; then
        options+=(-dict="fuzz/$name.dict")
    fi
    echo "=== fuzzing $name for $seconds s"
    "$target" "${options[@]}" "${corpora[@]}"
done
echo "run-fuzzers: ${#targets[@]} target(s) fuzzed for $seconds s each, no fault found"
