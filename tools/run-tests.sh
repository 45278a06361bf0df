#!/usr/bin/env bash
# Runs the tests of the linux build natively and those of the windows build under Wine, then
# prints one line "N passed, N failed" summed over both runs. Exits non-zero when a test failed or
# a run broke down outside its tests (a test executable that could not even list its tests, say).
# Both runs always happen, so one report shows everything that is wrong.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

source tools/wine-env.sh build/windows

total_passed=0
total_failed=0
exit_status=0
ctest_output=$(mktemp)
trap 'rm -f "$ctest_output"' EXIT

# run_suite NAME COMMAND...: runs one ctest command, shows its output and adds its counts.
run_suite() {
    local name=$1
    shift
    echo "=== $name tests: $*"
    local rc=0
    "$@" 2>&1 | tee "$ctest_output" || rc=$?

    local summary
    summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$ctest_output" |
        tail -n 1 || true)
    local passed=0 failed=0
    if [[ $summary =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
        failed=${BASH_REMATCH[1]}
        passed=$((BASH_REMATCH[2] - failed))
    fi
    if ((rc != 0)); then
        exit_status=1
        if ((failed == 0)); then
            # ctest failed without a failing test: a test executable that could not be run or
            # listed, or no test at all. Count the run itself as one failure.
            echo "run-tests: the $name run failed (ctest exit status $rc) outside any test;" \
                "counted as one failure"
            failed=1
        fi
    fi
    total_passed=$((total_passed + passed))
    total_failed=$((total_failed + failed))
}

run_suite linux ctest --preset linux

trap 'kq_wine_session_end; rm -f "$ctest_output"' EXIT
if kq_wine_session_start; then
    run_suite windows ctest --preset windows
    run_suite "windows (a 40-character host name)" ctest --preset windows-long-host
    run_suite shipped ctest --preset dist
else
    echo "run-tests: Wine did not start, so the windows tests did not run; counted as one failure"
    total_failed=$((total_failed + 1))
    exit_status=1
fi

echo "$total_passed passed, $total_failed failed"
exit "$exit_status"
