#!/usr/bin/env bash
# Runs the end-to-end driver against kqwizard.exe under Wine, on a virtual X display of its own.
#
#   run-e2e.sh --driver EXE --wizard EXE --state DIR --setup
#       makes a fresh Wine prefix DIR/prefix (Chinese fonts, virtual desktop) and opens the
#       shell's folder chooser in it once (Wine's first chooser may ignore a selection)
#   run-e2e.sh --driver EXE --wizard EXE --state DIR [--dpi DPI] [--shots DIR] SCENARIO...
#       sets the prefix's DPI (default 96) and runs the scenarios in it (the prefix is made
#       first if it is missing), with the test sites in a new folder under /var/tmp that is
#       removed afterwards; --shots converts the pictures the driver takes into PNG files in DIR
#
# The exit code is the driver's: 0 only when every check passed.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$repo/tools/wine-gui.sh"

driver= wizard= state= setup= dpi=96 shots=
scenarios=()
while (($#)); do
    case $1 in
    --driver) driver=$2; shift 2 ;;
    --wizard) wizard=$2; shift 2 ;;
    --state) state=$2; shift 2 ;;
    --setup) setup=yes; shift ;;
    --dpi) dpi=$2; shift 2 ;;
    --shots) shots=$2; shift 2 ;;
    -*) echo "run-e2e: unknown option $1" >&2; exit 2 ;;
    *) scenarios+=("$1"); shift ;;
    esac
done
if [[ -z $driver || -z $wizard || -z $state ]]; then
    echo "run-e2e: --driver, --wizard and --state are required" >&2
    exit 2
fi
mkdir -p "$state"
state=$(cd "$state" && pwd)  # Wine wants an absolute prefix path
for program in "$driver" "$wizard"; do
    if [[ ! -f $program ]]; then
        echo "run-e2e: $program is not built" >&2
        exit 2
    fi
done

work=
cleanup() {
    kq_xvfb_stop
    if [[ -n $work ]]; then
        rm -rf "$work"
    fi
}
trap cleanup EXIT

# run_driver SCENARIO... : the driver in the current prefix, on a display of its own.
run_driver() {
    work=$(mktemp -d /var/tmp/kq-e2e.XXXXXX)
    local extra=()
    local shot_dir=
    if [[ -n $shots ]]; then
        shot_dir=$work/shots
        mkdir -p "$shot_dir"
        extra=(--shots "$(winepath -w "$shot_dir")")
    fi
    kq_xvfb_start
    local status=0
    wine "$driver" "$@" --wizard "$(winepath -w "$wizard")" --work "$(winepath -w "$work")" \
        --dpi "$dpi" "${extra[@]}" || status=$?
    kq_xvfb_stop
    if [[ -n $shot_dir ]]; then
        mkdir -p "$shots"
        local picture
        for picture in "$shot_dir"/*.bmp; do
            [[ -e $picture ]] || continue
            convert "$picture" "$shots/$(basename "${picture%.bmp}").png"
            echo "run-e2e: wrote $shots/$(basename "${picture%.bmp}").png"
        done
    fi
    return "$status"
}

export WINEPREFIX=$state/prefix
make_prefix() {
    echo "run-e2e: new Wine prefix $WINEPREFIX"
    kq_gui_prefix "$WINEPREFIX" 96
    run_driver warmup
}

if [[ -n $setup ]]; then
    make_prefix
    exit
fi
if ((${#scenarios[@]} == 0)); then
    echo "run-e2e: no scenario given" >&2
    exit 2
fi
if [[ ! -f $WINEPREFIX/user.reg ]]; then
    make_prefix
fi
kq_gui_dpi "$dpi"
run_driver "${scenarios[@]}"
