# The shell suites' scratch folder, as ScratchFolder (scratch_folder.hpp) is the C++ tests': a
# fresh folder of the suite's own, removed with everything in it when the suite exits, however
# it exits. It lies under /var/tmp, which no other program empties while a suite runs.
#
# Sourced, not run:
#   source "$repo/tests/support/scratch-folder.sh"
#   scratch_folder NAME     # sets $work to a new folder /var/tmp/NAME.XXXXXX
#   on_exit COMMAND         # runs COMMAND at exit, before the folder is removed (in the order given)
# shellcheck shell=bash

work=
exit_commands=()

scratch_folder() {
    work=$(mktemp -d "/var/tmp/$1.XXXXXX") || exit 1
    trap remove_scratch_folder EXIT
    trap 'exit 130' INT TERM HUP
}

on_exit() {
    exit_commands+=("$1")
}

remove_scratch_folder() {
    local command
    for command in "${exit_commands[@]}"; do
        eval "$command" || true
    done
    # An entry made read-only by a test must not stop the removal.
    chmod -R u+w "$work" 2>/dev/null || true
    rm -rf "$work"
}
