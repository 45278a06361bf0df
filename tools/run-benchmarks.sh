#!/usr/bin/env bash
# Runs every benchmark executable of the bench build (build/bench/bench/*_bench) one after the
# other.
# Each one's results also go to build/bench/results/<name>.json for later comparison.
# Extra arguments for every benchmark come from BENCH_ARGS (e.g. --benchmark_filter=Rewrite);
# BENCH_BUILD names another build folder of the bench preset (default build/bench).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

readonly bench_build=${BENCH_BUILD:-build/bench}
readonly bench_dir=$bench_build/bench
readonly results_dir=$bench_build/results

mapfile -t benchmarks < <(find "$bench_dir" -maxdepth 1 -type f -perm -u+x -name '*_bench' \
    2>/dev/null | sort)
if ((${#benchmarks[@]} == 0)); then
    echo "run-benchmarks: there is no benchmark yet in $bench_dir; nothing to run"
    exit 0
fi

mkdir -p "$results_dir"
read -r -a extra_args <<<"${BENCH_ARGS:-}"
for benchmark in "${benchmarks[@]}"; do
    name=$(basename "$benchmark")
    echo "=== benchmark $name"
    "$benchmark" --benchmark_out="$results_dir/$name.json" --benchmark_out_format=json \
        "${extra_args[@]}"
done
echo "run-benchmarks: ${#benchmarks[@]} benchmark(s) run; results in $results_dir/"
