# Wine with a display, for running the wizard window: source it, do not run it.
#
#   source tools/wine-gui.sh
#   kq_gui_prefix DIR [DPI]   # a fresh Wine prefix in DIR: Chinese font replacements, the DPI
#                             # (default 96) and a virtual desktop, so every window is drawn whole
#   kq_gui_fonts              # only the font replacements, in the current prefix (WINEPREFIX)
#   kq_gui_dpi DPI            # changes the DPI of the current prefix
#   kq_xvfb_start             # a virtual X display on a free display number; sets DISPLAY
#   kq_xvfb_stop              # stops that display (by its own process id) and Wine's server
#
# The prefix is made afresh every time: Wine remembers windows, fonts and the folder chooser's
# state in it, and a test must not depend on what an earlier run left there.

if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
    echo "wine-gui.sh must be sourced: source ${BASH_SOURCE[0]}" >&2
    exit 1
fi

export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# The size of Wine's virtual desktop, and of the X screen that shows it.
readonly KQ_DESKTOP_SIZE=1024x768

# Writes a registry file as regedit wants it for names outside ASCII: UTF-16LE with a byte-order
# mark. (`wine reg add` passes its arguments through the ANSI code page and garbles Chinese.)
kq_write_reg_file() {
    local file=$1
    shift
    printf '%s\r\n' "Windows Registry Editor Version 5.00" "" "$@" |
        iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$file"
}

kq_import_reg() {
    local file=$1
    wine regedit /S "$(winepath -w "$file")" >/dev/null 2>&1
    wineserver -w
}

kq_dpi_lines() {
    printf '[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"LogPixels"=dword:%08x\n' "$1"
}

# The layout's faces, drawn with the AR PL fonts (Ming for 宋体, Kai for 楷体).
kq_font_lines() {
    echo '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]'
    local face
    for face in 宋体 SimSun NSimSun 新宋体; do
        echo "\"$face\"=\"AR PL UMing CN\""
    done
    for face in 楷体_GB2312 楷体 KaiTi; do
        echo "\"$face\"=\"AR PL UKai CN\""
    done
}

# One virtual desktop: Wine draws the title bars and frames itself, the same with or without a
# window manager, and a screenshot of the X screen shows whole windows.
kq_desktop_lines() {
    printf '%s\n' '[HKEY_CURRENT_USER\Software\Wine\Explorer]' '"Desktop"="Default"' ''
    printf '%s\n' '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]' \
        "\"Default\"=\"$KQ_DESKTOP_SIZE\""
}

# kq_gui_fonts: the font replacements, in the current prefix (WINEPREFIX).
kq_gui_fonts() {
    local lines
    mapfile -t lines < <(kq_font_lines)
    kq_write_reg_file "$WINEPREFIX.fonts.reg" "${lines[@]}"
    kq_import_reg "$WINEPREFIX.fonts.reg"
}

# kq_gui_dpi DPI: the display's DPI (LogPixels), in the current prefix.
kq_gui_dpi() {
    local lines
    mapfile -t lines < <(kq_dpi_lines "$1")
    kq_write_reg_file "$WINEPREFIX.dpi.reg" "${lines[@]}"
    kq_import_reg "$WINEPREFIX.dpi.reg"
}

# kq_gui_prefix DIR [DPI]: makes the prefix and exports WINEPREFIX.
kq_gui_prefix() {
    local dir=$1 dpi=${2:-96}
    rm -rf "$dir"
    mkdir -p "$(dirname "$dir")"
    export WINEPREFIX=$dir
    local log=$dir.wineboot.log
    if ! wineboot -i >"$log" 2>&1; then
        echo "wine-gui: wineboot -i failed for $dir; its output:" >&2
        cat "$log" >&2
        return 1
    fi
    wineserver -w
    local lines
    mapfile -t lines < <(kq_font_lines; echo; kq_desktop_lines; echo; kq_dpi_lines "$dpi")
    kq_write_reg_file "$dir.settings.reg" "${lines[@]}"
    kq_import_reg "$dir.settings.reg"
}

kq_xvfb_start() {
    local display_file
    display_file=$(mktemp)
    # -displayfd: Xvfb takes the first free display number and writes it once it is listening.
    Xvfb -displayfd 3 -screen 0 "${KQ_DESKTOP_SIZE}x24" -nolisten tcp 3>"$display_file" \
        >/dev/null 2>&1 &
    KQ_XVFB_PID=$!
    local waited=0
    while [[ ! -s $display_file ]]; do
        if ! kill -0 "$KQ_XVFB_PID" 2>/dev/null || ((waited >= 100)); then
            echo "wine-gui: Xvfb did not start" >&2
            rm -f "$display_file"
            return 1
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
    export DISPLAY=:$(tr -d '[:space:]' <"$display_file")
    rm -f "$display_file"
}

kq_xvfb_stop() {
    if [[ -n ${WINEPREFIX:-} ]]; then
        wineserver -k 2>/dev/null || true
        wineserver -w 2>/dev/null || true
    fi
    if [[ -n ${KQ_XVFB_PID:-} ]]; then
        kill "$KQ_XVFB_PID" 2>/dev/null || true
        wait "$KQ_XVFB_PID" 2>/dev/null || true
        KQ_XVFB_PID=
    fi
}
