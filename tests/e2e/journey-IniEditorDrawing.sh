# The INI editor after a scroll: every block that comes into view is drawn at
# once. Read from the screen with xwd, the dialog must not change when it is
# then drawn again from scratch.
source "$(dirname "$0")/lib.sh"
registry_sandbox
demo_profiles
mkdir -p "$T/Profiles/Many"
for i in $(seq 10 49); do printf '[Section%s]\r\nKey%s=Value %s\r\nOther=x\r\n' "$i" "$i" "$i"; done \
    >"$T/Profiles/Many/Agent.ini"
start_pelmark
while [ "$(selected_name)" != Many ]; do key Down; done
key alt+asterisk
window_of TFrmZuEditProfile >/dev/null
activate "$(xwindow '^Edit profile$')"
key alt+f
EDIT=$(window_of TFrmZuEditINIFile)
XEDIT=$(xwindow '^Edit .INI file$')
activate "$XEDIT"

differ() { { cmp -l "$1" "$2" || true; } | wc -l; }

# The dialog as the X server shows it, once five readings in a row, over a
# second, agree (up to a blinking caret): $T/shown.xwd. Two readings 0.2 s
# apart were not enough: on a loaded machine the program can sit that long
# between two of the keys or clicks still queued for it.
settled() {
    local same=0
    xwd -id "$XEDIT" -silent >"$T/a.xwd" || return 1
    for _ in $(seq 50); do
        sleep 0.2
        xwd -id "$XEDIT" -silent >"$T/b.xwd" || return 1
        if [ "$(differ "$T/a.xwd" "$T/b.xwd")" -lt 400 ]; then
            same=$((same + 1))
            [ $same -ge 4 ] && { mv "$T/b.xwd" "$T/shown.xwd"; return 0; }
        else
            same=0
            mv "$T/b.xwd" "$T/a.xwd"
        fi
    done
    return 1
}
# Fails when drawing the dialog again from scratch changes what was shown.
drawn_whole() {
    settled || fail "the dialog never settled"
    cp "$T/shown.xwd" "$T/before.xwd"
    R redraw "$EDIT" || fail "no redraw"
    settled || fail "the dialog never settled after the redraw"
    local changed
    changed=$(differ "$T/before.xwd" "$T/shown.xwd")
    [ "$changed" -lt 400 ] || fail "$changed bytes changed when the dialog was drawn again: $1"
    echo "   ok: drawn whole $1"
}

step "Expand all, then Ctrl+Tab four times"
key alt+e
for _ in 1 2 3 4; do key ctrl+Tab; done
wait_for "the fourth section's value to have the keyboard" 10 eval 'R focus | grep -q "Value 13"'
drawn_whole "after Ctrl+Tab"

step "ten clicks on the scroll bar's down arrow"
BOX=$(R controls "$EDIT" | awk -F'\t' '$2 == "TPanel" { print $1; exit }')  # the scroll area, made first
read -r bx by bw bh _ <<<"$(R rect "$BOX")"
xdotool mousemove $((bx + bw - 10)) $((by + bh - 10))
for _ in $(seq 10); do xdotool click 1; sleep 0.1; done
xdotool mousemove 0 0
drawn_whole "after the arrow clicks"
key Escape
wait_for "the INI editor to close" 10 gone TFrmZuEditINIFile
