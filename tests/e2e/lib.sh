# Steps shared by the end-to-end journeys: a folder and registry of the
# journey's own, the real Pelmark.exe started under Wine, keys and clicks
# through the X server (xdotool), and what is on screen read back by the
# reader program. Every wait polls with a time-out and fails with what it was
# waiting for. Sourced by each journey-*.sh; runs under the test command's
# display, window manager and Wine server.
set -euo pipefail

BIN=${PELMARK_BIN:?PELMARK_BIN names the folder of Pelmark.exe}
# This build's Wine loader: the 64-bit one by its full path, as Debian's
# "wine" takes the 32-bit loader whenever it is installed.
WINE=${PELMARK_WINE:-wine}
BITS=${PELMARK_BITS:-32}
if [ -n "${PELMARK_CANNOT_RUN:-}" ]; then
    echo "skipped: $PELMARK_CANNOT_RUN"
    exit 77
fi
export WINEDEBUG=-all
T=$(mktemp -d /tmp/pelmark-e2e.XXXXXX)
WT="Z:${T//\//\\}\\"                     # the same folder as Windows sees it
KEY='HKCU\Software\Brennvik'
PIDS=()
STEP=""

fail() {
    echo "FAILED: ${STEP:+$STEP: }$*" >&2
    exit 1
}

step() {
    STEP=$*
    echo "-- [${SECONDS}s] $*"
}

# A Windows program under Wine, as the journey's user (a journey may run its
# programs as another account). Started in the background, it takes the
# place of its shell, so that its process id is the program's own.
run_wine() { exec "$WINE" "$@"; }

R() { timeout 30 "$WINE" "$BIN/e2e_reader.exe" "$@" 2>/dev/null | tr -d '\r'; }

# wait_for DESCRIPTION SECONDS COMMAND...: until the command succeeds. (An
# "eval" command sees the caller's variables, not its positional ones.)
wait_for() {
    local what=$1 seconds=$2
    shift 2
    local end=$((SECONDS + seconds))
    until "$@" >/dev/null 2>&1; do
        [ $SECONDS -lt $end ] || fail "timed out waiting for $what"
        sleep 0.2
    done
}

expect_eq() { # DESCRIPTION ACTUAL EXPECTED
    [ "$2" = "$3" ] || fail "$1: got [$2], expected [$3]"
    echo "   ok: $1"
}

# The journey's registry: what was there is kept aside and comes back at the end.
registry_sandbox() {
    if "$WINE" reg export "$KEY" "$T/saved.reg" /y >/dev/null 2>&1; then :; else rm -f "$T/saved.reg"; fi
    "$WINE" reg delete "$KEY" /f >/dev/null 2>&1 || true
}

setting() { # NAME VALUE [REG_SZ|REG_DWORD]
    "$WINE" reg add "$KEY\\Pelmark" /v "$1" /t "${3:-REG_SZ}" /d "$2" /f >/dev/null 2>&1 || fail "cannot set $1"
}

reg_value() { # NAME: the value's data as reg query prints it, or nothing
    { "$WINE" reg query "$KEY\\Pelmark" /v "$1" 2>/dev/null || true; } | tr -d '\r' | awk -v n="$1" '$1 == n { print $NF }'
}

cleanup() {
    local rc=$?
    # A journey's own last step, such as ending a Wine server it started.
    if [ -n "${ON_EXIT:-}" ]; then eval "$ON_EXIT" || true; fi
    R close AgentStandIn >/dev/null || true
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
    "$WINE" reg delete "$KEY" /f >/dev/null 2>&1 || true
    [ -f "$T/saved.reg" ] && "$WINE" reg import "$T/saved.reg" >/dev/null 2>&1
    rm -rf "$T"
    [ $rc -eq 0 ] && echo "journey passed in ${SECONDS}s"
    exit $rc
}
trap cleanup EXIT
trap 'echo "FAILED: ${STEP:+$STEP: }line $LINENO: $BASH_COMMAND" >&2' ERR

# A profile folder with the stand-in Agent and its template, and the three
# demo profiles; the settings point at them.
demo_profiles() {
    mkdir -p "$T/Profiles"
    cp "$BIN/agent/Agent.ini" "$T/template.ini"
    profile "Home" "Agent at home" "news.home.example" "mail.home.example" 1
    profile "Work news" "Agent - work" "news.work.example" "smtp.work.example" 0
    profile "archive" "Old archive" "news.archive.example" "" 0
    setting AgentFolder "Z:${BIN//\//\\}\\agent\\"
    setting DefaultIniPath "${WT}template.ini"
    setting ProfileFolder "${WT}Profiles\\"
    export PELMARK_AGENT_LOG="${WT}agent.log"
}

profile() { # NAME TITLE NEWS MAIL LAUNCHMODE
    mkdir -p "$T/Profiles/$1"
    sed -e "s/^Title=.*/Title=$2/" -e "s/^NewsServer=.*/NewsServer=$3/" \
        -e "s/^MailServer=.*/MailServer=$4/" -e "s/^LaunchMode=.*/LaunchMode=$5/" \
        "$T/template.ini" >"$T/Profiles/$1/Agent.ini"
}

# Starts Pelmark (with any arguments; PELMARK_EXE, when set, is the program
# to start) and waits for its main window: MAIN is its handle for the
# reader, XMAIN its X window.
start_pelmark() {
    run_wine "${PELMARK_EXE:-$BIN/Pelmark.exe}" "$@" &
    PIDS+=($!)
    PELMARK=$!
    wait_for "the main window" 30 R window TFrmZuMain
    MAIN=$(R window TFrmZuMain)
    XMAIN=$(xwindow '^Pelmark$')
    activate "$XMAIN"
}

running() { kill -0 "$PELMARK" 2>/dev/null; }

# The X window whose title matches, once it is the only one (the splash
# screen, titled like the main window, may still be going).
xwindow() {
    local title=$1 found="" end=$((SECONDS + 20))
    # One search gives both the count and the answer: a window that goes
    # while xdotool looks at it (the splash, titled alike) fails that search
    # with an X error, and the next search no longer sees it.
    until found=$(xdotool search --onlyvisible --name "$title" 2>/dev/null) && [ -n "$found" ] &&
        [ "$(wc -l <<<"$found")" = 1 ]; do
        [ $SECONDS -lt $end ] || fail "timed out waiting for one X window named $title"
        sleep 0.2
    done
    echo "$found"
}

# Whether the X server's active window, the one the user sees active and
# types into, is this one (Wine's own idea of it can differ).
x_active() { test "$(xdotool getactivewindow 2>/dev/null)" = "$1"; }

# Brings a window to the front through the window manager, as a click on it
# would, and waits until it has the keyboard.
activate() {
    local xid=$1
    xdotool windowactivate "$xid" >/dev/null 2>&1 || true
    wait_for "window $xid to be active" 10 x_active "$xid"
}

key() { xdotool key --clearmodifiers --delay 60 "$@"; }

type_text() { xdotool type --clearmodifiers --delay 40 "$1"; }

# A click at the centre of the control of window HWND whose caption or class is TEXT.
click_control() { # HWND TEXT
    local at
    at=$(R where "$1" "$2") || fail "no control \"$2\" to click"
    click_at $at
}

click_at() { xdotool mousemove "$1" "$2" sleep 0.1 click 1; }

# The handle of a top-level window of CLASS, once it shows.
window_of() { # CLASS [TITLE]
    wait_for "a $1 window" 20 R window "$@"
    R window "$@"
}

gone() { ! R window "$@" >/dev/null; }

grid_rows() { R rows "$MAIN"; }

# The selected profile's name (column 1 of the row marked "*").
selected_name() { grid_rows | awk -F'\t' '/^\*/ { print $2 }'; }

log_lines() { [ -f "$T/agent.log" ] && tr -d '\r' <"$T/agent.log" | wc -l || echo 0; }

# The X window's frame: its ancestor that is a child of the root window.
x_frame() {
    local w=$1 parent
    while parent=$(xwininfo -id "$w" -tree 2>/dev/null | awk '/Parent window id:/ { print $4 }') &&
        [ -n "$parent" ] && [ "$parent" != "$(xwininfo -root | awk '/Window id:/ { print $4 }')" ]; do
        w=$parent
    done
    printf '0x%x\n' "$w"
}

# Another program's window (not one of Wine's) made the active one.
other_program_in_front() {
    if [ -z "${XOTHER:-}" ]; then
        xlogo -geometry 500x500+20+20 >/dev/null 2>&1 &
        PIDS+=($!)
        wait_for "another program's window" 10 eval 'xdotool search --onlyvisible --class xlogo >/dev/null'
        XOTHER=$(xdotool search --onlyvisible --class xlogo | head -1)
    fi
    activate "$XOTHER"
}

# Whether the X server's active window is one shown for another (a message,
# a dialog), and stands in front of that other one, as the X server stacks
# them: what the user sees and types into.
x_active_in_front_of_its_owner() {
    local active owner order
    active=$(xdotool getactivewindow 2>/dev/null) || return 1
    owner=$(xprop -id "$active" WM_TRANSIENT_FOR 2>/dev/null | awk '/window id/ { print $NF }')
    [ -n "$owner" ] || return 1
    # The root's children, top first.
    order=$(xwininfo -root -children | awk '$1 ~ /^0x/ { print $1 }')
    local mine theirs
    mine=$(grep -nx "$(x_frame "$active")" <<<"$order" | cut -d: -f1)
    theirs=$(grep -nx "$(x_frame "$owner")" <<<"$order" | cut -d: -f1)
    [ -n "$mine" ] && [ -n "$theirs" ] && [ "$mine" -lt "$theirs" ]
}
