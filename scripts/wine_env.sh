#!/usr/bin/env bash
# Wine test environment: a throw-away 64-bit prefix inside the build tree, the Chinese font
# linked for the dialog fonts, and an X server when none is given.
#
#   source scripts/wine_env.sh      # exports the variables below into the calling shell
#   bash scripts/wine_env.sh        # prepares the prefix, prints the export lines to eval
#
# In:  VOK_BUILD_ROOT  build root (default: parent of $VOK_BUILD_DIR, else <repo>/build)
#      WINEPREFIX      prefix to use (default $VOK_BUILD_ROOT/wineprefix)
#      DISPLAY         X display; when empty an Xvfb is started on a free display
# Out: WINEPREFIX, WINEDEBUG=-all, WINEDLLOVERRIDES (no mono/gecko installers), DISPLAY,
#      VOK_WINE (the wine64 loader), VOK_WINESERVER, VOK_XVFB_PID (set only when this
#      script started the Xvfb; stop it with vok_wine_stop_display when sourced).
# The prefix is made once and cached; creation runs under flock, so parallel tests wait
# for one another instead of both creating it.

_vok_env_main() {
    local here repo
    here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
    repo="$(dirname "$here")"
    if [ -z "${VOK_BUILD_ROOT:-}" ]; then
        if [ -n "${VOK_BUILD_DIR:-}" ]; then
            VOK_BUILD_ROOT="$(dirname "$VOK_BUILD_DIR")"
        else
            VOK_BUILD_ROOT="$repo/build"
        fi
    fi
    export VOK_BUILD_ROOT
    mkdir -p "$VOK_BUILD_ROOT" || return 1
    export WINEPREFIX="${WINEPREFIX:-$VOK_BUILD_ROOT/wineprefix}"
    export WINEARCH=win64
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

    VOK_WINE="$(command -v wine64 || true)"
    [ -z "$VOK_WINE" ] && [ -x /usr/lib/wine/wine64 ] && VOK_WINE=/usr/lib/wine/wine64
    [ -z "$VOK_WINE" ] && { echo "wine_env: wine64 not found (install wine64)" >&2; return 1; }
    VOK_WINESERVER="$(command -v wineserver || true)"
    [ -z "$VOK_WINESERVER" ] && [ -x /usr/lib/wine/wineserver ] && VOK_WINESERVER=/usr/lib/wine/wineserver
    export VOK_WINE VOK_WINESERVER

    if [ -z "${DISPLAY:-}" ]; then
        _vok_start_xvfb || return 1
    fi
    _vok_make_prefix || return 1
}

# Xvfb picks a free display itself (-displayfd), so parallel starts never collide.
_vok_start_xvfb() {
    local fifo_dir numfile i
    command -v Xvfb >/dev/null || { echo "wine_env: Xvfb not found (install xvfb)" >&2; return 1; }
    fifo_dir="$(mktemp -d)"
    numfile="$fifo_dir/display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$numfile" >/dev/null 2>&1 &
    VOK_XVFB_PID=$!
    # Xvfb writes the number once it accepts connections; give it up to 10 s.
    for i in $(seq 1 100); do
        if [ -s "$numfile" ]; then break; fi
        kill -0 "$VOK_XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    if [ ! -s "$numfile" ]; then
        echo "wine_env: Xvfb did not start" >&2
        kill "$VOK_XVFB_PID" 2>/dev/null
        rm -rf "$fifo_dir"
        unset VOK_XVFB_PID
        return 1
    fi
    export DISPLAY=":$(head -n1 "$numfile" | tr -dc 0-9)"
    export VOK_XVFB_PID
    rm -rf "$fifo_dir"
}

vok_wine_stop_display() {
    if [ -n "${VOK_XVFB_PID:-}" ]; then
        kill "$VOK_XVFB_PID" 2>/dev/null
        wait "$VOK_XVFB_PID" 2>/dev/null
        unset VOK_XVFB_PID
    fi
}

# Bump when the prefix set-up below changes: older cached prefixes are then completed.
_VOK_PREFIX_STAMP="vok-prefix-3"

_vok_make_prefix() {
    local lock="$WINEPREFIX.lock" font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
    local zen=/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc
    local key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
    # Zen Hei first: Micro Hei maps U+2103 to an empty glyph, so readings lost their degree
    # sign; Micro Hei stays linked behind it for anything Zen Hei lacks.
    local links="wqy-microhei.ttc,WenQuanYi Micro Hei"
    [ -f "$zen" ] && links="wqy-zenhei.ttc,WenQuanYi Zen Hei\0$links"
    [ -f "$WINEPREFIX/.$_VOK_PREFIX_STAMP" ] && return 0
    (
        flock -w 300 9 || { echo "wine_env: prefix lock timed out" >&2; exit 1; }
        [ -f "$WINEPREFIX/.$_VOK_PREFIX_STAMP" ] && exit 0
        echo "wine_env: creating $WINEPREFIX" >&2
        timeout 240 "$VOK_WINE" wineboot --init >/dev/null 2>&1 || { echo "wine_env: wineboot failed" >&2; exit 1; }
        local name
        for name in "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2" "System"; do
            timeout 60 "$VOK_WINE" reg add "$key" /v "$name" /t REG_MULTI_SZ \
                /d "$links" /f >/dev/null 2>&1 ||
                { echo "wine_env: FontLink entry failed" >&2; exit 1; }
        done
        timeout 60 "$VOK_WINESERVER" -w
        mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
        if [ -f "$font" ]; then
            ln -sf "$font" "$WINEPREFIX/drive_c/windows/Fonts/wqy-microhei.ttc"
        else
            echo "wine_env: $font missing (install fonts-wqy-microhei); Chinese shows as boxes" >&2
        fi
        if [ -f "$zen" ]; then
            ln -sf "$zen" "$WINEPREFIX/drive_c/windows/Fonts/wqy-zenhei.ttc"
        else
            echo "wine_env: $zen missing (install fonts-wqy-zenhei); the degree sign shows blank" >&2
        fi
        touch "$WINEPREFIX/.$_VOK_PREFIX_STAMP"
    ) 9>"$lock"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    # Run, not sourced: prepare and print the environment for eval.
    set -u
    _vok_env_main || exit 1
    for v in VOK_BUILD_ROOT WINEPREFIX WINEARCH WINEDEBUG WINEDLLOVERRIDES DISPLAY VOK_WINE VOK_WINESERVER VOK_XVFB_PID; do
        [ -n "${!v:-}" ] && printf 'export %s=%q\n' "$v" "${!v}"
    done
    exit 0
fi
_vok_env_main
