#!/usr/bin/env bash
# Opens kqwizard.exe under Wine (make run). The Wine prefix is the windows build's own
# (tools/wine-env.sh), with the Chinese font replacements added.
#
#   tools/run-wizard.sh [WINDOWS_BUILD_DIR]      # default: build/windows
#
# Without a display (DISPLAY unset) it starts a virtual one with Xvfb and says how to look at it.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

build_dir=${1:-build/windows}
wizard=$build_dir/src/app/kqwizard.exe
if [[ ! -f $wizard ]]; then
    echo "run-wizard: $wizard is not built (cmake --build --preset windows --target kqwizard)" >&2
    exit 1
fi

source tools/wine-env.sh "$build_dir"
source tools/wine-gui.sh
kq_wine_init
if [[ ! -f $WINEPREFIX.fonts.reg ]]; then
    kq_gui_fonts
fi

if [[ -z ${DISPLAY:-} ]]; then
    trap kq_xvfb_stop EXIT
    kq_xvfb_start
    cat <<MESSAGE
run-wizard: no display (DISPLAY is not set), so the wizard opens on a virtual one: Xvfb on
$DISPLAY. To see it, look at that display from a desktop session, e.g. with a VNC server
(x11vnc -display $DISPLAY) and a viewer, or run this from a desktop session or over
"ssh -X" so that DISPLAY is set.
Close the wizard (or press Ctrl-C) to stop.
MESSAGE
fi
echo "run-wizard: starting $wizard (Wine prefix $WINEPREFIX)"
wine "$wizard"
