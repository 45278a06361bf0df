#!/usr/bin/env bash
# Runs the end-to-end driver against kqwizard.exe under Wine, on a virtual X display of its own.
#
#   run-e2e.sh --driver EXE --wizard EXE --state DIR --setup
#       makes a fresh Wine prefix DIR/prefix (Chinese fonts, virtual desktop)
#   run-e2e.sh --driver EXE --wizard EXE --state DIR [--case DIR] [--dpi DPI] SCENARIO...
#       sets the prefix's DPI (default 96) and runs the scenarios in it (the prefix is made
#       first if it is missing); --case is the golden site (tests/data/<case>) of the road
#       scenario
#
# The sites go into a new folder, removed afterwards, that the prefix reaches as drive S:. The
# shell's folder chooser matches every folder on the way to a selection by its time stamp too,
# so a selection under Z:\tmp, say, fails while other programs add and remove files in /tmp.
# The exit code is the driver's: 0 only when every check passed.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$repo/tools/wine-gui.sh"

driver= wizard= state= setup= dpi=96 golden=$repo/tests/data/marker-in-a-comment
scenarios=()
while (($#)); do
    case $1 in
    --driver) driver=$2; shift 2 ;;
    --wizard) wizard=$2; shift 2 ;;
    --state) state=$2; shift 2 ;;
    --case) golden=$2; shift 2 ;;
    --dpi) dpi=$2; shift 2 ;;
    --setup) setup=yes; shift ;;
    -*) echo "run-e2e: unknown option $1" >&2; exit 2 ;;
    *) scenarios+=("$1"); shift ;;
    esac
done
if [[ ! -f $driver || ! -f $wizard || -z $state ]]; then
    echo "run-e2e: --driver and --wizard (built programs) and --state are required" >&2
    exit 2
fi
mkdir -p "$state"
export WINEPREFIX=$(cd "$state" && pwd)/prefix  # Wine wants an absolute prefix path

source "$repo/tests/support/scratch-folder.sh"
scratch_folder kq-e2e
sites=$WINEPREFIX/dosdevices/s:
on_exit 'kq_xvfb_stop; rm -f "$sites"'

if [[ -n $setup || ! -f $WINEPREFIX/user.reg ]]; then
    echo "run-e2e: new Wine prefix $WINEPREFIX"
    kq_gui_prefix "$WINEPREFIX" 96
    [[ -z $setup ]] || exit 0
fi
if ((${#scenarios[@]} == 0)); then
    echo "run-e2e: no scenario given" >&2
    exit 2
fi
kq_gui_dpi "$dpi"
ln -sfn "$work" "$sites"
kq_xvfb_start
wine "$driver" "${scenarios[@]}" --wizard "$(winepath -w "$wizard")" --work 'S:\' \
    --case "$(winepath -w "$golden")" --dpi "$dpi"
