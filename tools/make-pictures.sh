#!/usr/bin/env bash
# Takes the pictures in docs/ from the real program, as the run command shows
# it (its demo Agent and three profiles, Windows' launch colours), under
# openbox on a virtual display, at 96 and 144 DPI. Run it after the run or
# test command has built the program and installed what it needs:
#   bash tools/make-pictures.sh            every window, at 96 and 144 DPI
#   bash tools/make-pictures.sh limits N   the profile editor maximised from
#                                          its title bar, as
#                                          docs/limits-profile-editor-N.png
# PELMARK_EXE names another build of the program to take them from.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${PELMARK_BUILD_DIR:-$root/build}
exe=${PELMARK_EXE:-$build/bin/Pelmark.exe}
mode=${1:-all}
[ -x "$exe" ] || [ -f "$exe" ] || { echo "no $exe: run 'bash tools/pelmark.sh run' or 'test' first" >&2; exit 1; }

export WINEPREFIX="$build/pictures-prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d)
pids=()
cleanup() {
    wineserver -k 2>/dev/null || true
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

n=120
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=":$n"
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.1; done

# A prefix of its own, made anew: Windows' launch colours, a demo Agent and
# three profiles, as the run command sets them up.
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1 || true
wineserver -w
wineserver -p 2>/dev/null || true
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d Y /f >/dev/null 2>&1
wine reg add 'HKCU\Control Panel\Colors' /v InfoWindow /d '255 255 225' /f >/dev/null 2>&1
wine reg add 'HKCU\Control Panel\Colors' /v HotTrackingColor /d '0 102 204' /f >/dev/null 2>&1
agent="$WINEPREFIX/drive_c/Program Files/Agent"
mkdir -p "$agent"
cp "$build/bin/agent/Agent.exe" "$build/bin/agent/Agent.ini" "$agent/"
demo() { # name title news mail launch-mode
    mkdir -p "$agent/$1"
    sed -e "s/^Title=.*/Title=$2/" -e "s/^NewsServer=.*/NewsServer=$3/" -e "s/^MailServer=.*/MailServer=$4/" \
        -e "s/^LaunchMode=.*/LaunchMode=$5/" "$build/bin/agent/Agent.ini" >"$agent/$1/Agent.ini"
}
demo "Home" "Agent at home" "news.home.example" "mail.home.example" 1
demo "Work news" "Agent - work" "news.work.example" "smtp.work.example" 0
demo "archive" "Old archive" "news.archive.example" "" 0

wait_window() { # TITLE: the X window, once it is shown
    local id=""
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1) && [ -n "$id" ] && break
        sleep 0.1
    done
    [ -n "$id" ] || { echo "no window \"$1\"" >&2; exit 1; }
    echo "$id"
}
frame() { # the window manager's frame around an X window
    local w=$1 parent rootid
    rootid=$(xwininfo -root | awk '/Window id:/ { print $4 }')
    while parent=$(xwininfo -id "$w" -tree | awk '/Parent window id:/ { print $4 }') && [ "$parent" != "$rootid" ]; do
        w=$parent
    done
    echo "$w"
}
shot() { # X-WINDOW NAME: its frame, drawn and still, as docs/NAME.png
    local f
    f=$(frame "$1")
    sleep 2  # the opening zoom and the first drawing
    # The screen as the user sees it, where the frame stands.
    read -r x y w h <<<"$(xwininfo -id "$f" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } /Width:/ { w = $NF } /Height:/ { h = $NF } END { print x, y, w, h }')"
    for _ in $(seq 10); do
        xwd -root -silent >"$work/shot.xwd"
        python3 "$root/tools/xwd2png.py" "$work/shot.xwd" "$root/docs/$2.png" "$x" "$y" "$w" "$h" && break
        # Not on the screen yet: the window itself, as the program drew it.
        xwd -id "$1" -silent >"$work/shot.xwd"
        python3 "$root/tools/xwd2png.py" "$work/shot.xwd" "$root/docs/$2.png" && break
        sleep 1
    done
    echo "docs/$2.png"
}
key() { xdotool key --clearmodifiers --delay 80 "$@"; }
start() {
    xdotool mousemove 1279 1023  # no hint in the pictures
    wine "$exe" &
    program=$!
    pids+=($program)
    # The splash screen bears the main window's title: the main window is
    # the one still there once the splash screen has gone.
    wait_window '^Pelmark$' >/dev/null
    sleep 2.5
    main=$(wait_window '^Pelmark$')
    xdotool windowactivate "$main" 2>/dev/null || true
}
stop() {
    xdotool windowactivate "$main" 2>/dev/null || true
    key Escape
    for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || return 0; sleep 0.1; done
    echo "Pelmark did not end" >&2
    exit 1
}

if [ "$mode" = limits ]; then
    label=${2:?a name for the pictures, such as before or after}
    # What a program before the mend left undrawn is what its pictures show.
    [ "$label" = before ] && export XWD2PNG_ANY=1
    start
    key alt+asterisk
    editor=$(wait_window '^Edit profile$')
    read -r fx fy fw <<<"$(xwininfo -id "$(frame "$editor")" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } /Width:/ { w = $NF } END { print x, y, w }')"
    sleep 1
    xdotool mousemove $((fx + fw / 2)) $((fy + 8)) click --repeat 2 --delay 100 1
    sleep 1.5
    shot "$editor" "limits-profile-editor-$label"
    key Escape
    sleep 1
    stop
    exit 0
fi

for dpi in 96 144; do
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    wine reg delete 'HKCU\Software\Brennvik' /f >/dev/null 2>&1 || true
    at() { [ "$dpi" = 96 ] && echo "$1" || echo "dpi144-$2"; }
    start
    shot "$main" "$(at screenshot main)"
    key alt+asterisk
    editor=$(wait_window '^Edit profile$')
    shot "$editor" "$(at profile-editor profile-editor)"
    if [ "$dpi" = 96 ]; then
        key alt+f
        shot "$(wait_window '^Edit .INI file')" ini-editor
        key Escape
        sleep 0.5
    fi
    key Escape
    sleep 0.8
    xdotool windowactivate "$main" 2>/dev/null || true
    key alt+s
    shot "$(wait_window '^Pelmark - Setup$')" "$(at setup setup)"
    key Escape
    sleep 0.8
    if [ "$dpi" = 96 ]; then
        xdotool windowactivate "$main" 2>/dev/null || true
        key shift+F1
        shot "$(wait_window 'About')" about
        key Escape
        sleep 0.8
    fi
    stop
done
