# shellcheck shell=bash
# Wine environment for running the Windows build: source it, do not run it.
#
#   source tools/wine-env.sh [WINDOWS_BUILD_DIR]    # default: <repo>/build/windows
#   kq_wine_init                                    # creates the prefix once per build folder
#   kq_wine_session_start / kq_wine_session_end     # around a run of many Windows programs
#
# The prefix lives inside the build folder, so every build folder has its own and `make clean`
# removes it. Mono and Gecko are switched off: nothing here needs .NET or HTML, and their
# installers would otherwise be offered when the prefix is created.

if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
    echo "wine-env.sh must be sourced: source ${BASH_SOURCE[0]} [WINDOWS_BUILD_DIR]" >&2
    exit 1
fi

kq_repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
kq_windows_build_dir=${1:-${KQ_WINDOWS_BUILD_DIR:-$kq_repo_root/build/windows}}
mkdir -p "$kq_windows_build_dir"
kq_windows_build_dir=$(cd "$kq_windows_build_dir" && pwd)

export WINEPREFIX=$kq_windows_build_dir/wineprefix
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# What a prepared prefix holds besides Wine's defaults; the stamp records it, so a change here
# prepares existing prefixes again.
kq_wine_prefix_settings="show-dot-files"

# Creates and prepares the prefix unless this build folder already has one. The stamp is written
# only after wineboot and the server have finished, so an interrupted set-up is redone.
kq_wine_init() {
    local stamp=$WINEPREFIX.initialised
    if [[ -f $WINEPREFIX/system.reg && -f $stamp &&
          $(<"$stamp") == "$kq_wine_prefix_settings" ]]; then
        return 0
    fi
    echo "wine-env: initialising the Wine prefix $WINEPREFIX"
    rm -f "$stamp"
    local log=$WINEPREFIX.wineboot.log
    if ! wineboot -i >"$log" 2>&1; then
        echo "wine-env: wineboot -i failed for $WINEPREFIX; its output:" >&2
        cat "$log" >&2
        return 1
    fi
    # Windows hides no file for its name; Wine by default gives names that start with "." the
    # hidden attribute, which would make a script such as ".cgi" vanish from folder listings.
    if ! wine reg add 'HKCU\Software\Wine' /v ShowDotFiles /t REG_SZ /d Y /f >>"$log" 2>&1; then
        echo "wine-env: could not set ShowDotFiles in $WINEPREFIX; see $log" >&2
        return 1
    fi
    wineserver -w
    if [[ ! -f $WINEPREFIX/system.reg ]]; then
        echo "wine-env: wineboot left no registry in $WINEPREFIX" >&2
        return 1
    fi
    echo "$kq_wine_prefix_settings" >"$stamp"
}

# Keeps the prefix's Wine server and its system services running until kq_wine_session_end.
# Without this every program started alone brings the services up and takes them down again,
# and they hold its output pipe open meanwhile: each test would then take seconds, not a tenth.
# The services are started with their output on /dev/null, so they hold no caller's pipe.
kq_wine_session_start() {
    kq_wine_init || return 1
    # Fails only when a server already runs for this prefix; that one is used as it is.
    wineserver -p 2>/dev/null || true
    if ! wine cmd.exe /c exit </dev/null >/dev/null 2>&1; then
        echo "wine-env: Wine could not run a program in $WINEPREFIX" >&2
        return 1
    fi
}

# Stops every Wine process of the prefix and waits until its server has exited.
kq_wine_session_end() {
    wineserver -k 2>/dev/null || true
    wineserver -w
}
