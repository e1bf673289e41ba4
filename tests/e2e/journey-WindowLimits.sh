# What the window manager does past a window's limits, as a user does it:
# the main window sized below its least size, by a drag or by another
# program, goes back to it, on screen as in Windows' own idea; the profile
# editor, of a fixed height, maximised from its title bar comes back to its
# height at once, is not stored maximised, and opens whole the next time.
source "$(dirname "$0")/lib.sh"
registry_sandbox
demo_profiles
start_pelmark

# The X window's size, and what the window's frame adds to it in Wine's rect.
x_size() { xwininfo -id "$XMAIN" | awk '/Width:/ { w = $NF } /Height:/ { h = $NF } END { print w, h }'; }
read -r _ _ rw rh _ <<<"$(R rect "$MAIN")"
read -r xw xh <<<"$(x_size)"
least_on_screen() {
    wait_for "the X window at its least size" 10 eval 'x_size | awk "{ exit !(\$1 >= 481 - $rw + $xw && \$2 >= 156 - $rh + $xh) }"'
    read -r _ _ w h _ <<<"$(R rect "$MAIN")"
    [ "$w" -ge 481 ] && [ "$h" -ge 156 ] || fail "the main window is $w x $h"
    expect_eq "the X window as Wine has it" "$(x_size)" "$((w - rw + xw)) $((h - rh + xh))"
}

step "the main window sized below its least size by the window manager: back at its least size"
mainframe=$(x_frame "$XMAIN")
read -r fx fy fw fh <<<"$(xwininfo -id "$mainframe" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } /Width:/ { w = $NF } /Height:/ { h = $NF } END { print x, y, w, h }')"
# Its bottom right corner dragged up and left, as a user shrinks it.
xdotool mousemove $((fx + fw - 2)) $((fy + fh - 2)) mousedown 1 sleep 0.3 \
    mousemove $((fx + fw - 100)) $((fy + fh - 100)) sleep 0.3 mousemove $((fx + 305)) $((fy + 151)) sleep 0.5 mouseup 1
wait_for "its least size" 10 eval 'R rect "$MAIN" | awk "{ exit !(\$3 >= 481 && \$4 >= 156) }"'
sleep 0.5  # the window manager's own last word
least_on_screen

step "the main window sized below its least size by another program: back at its least size on screen"
xdotool windowsize "$XMAIN" 200 120
sleep 0.5
least_on_screen

step "the profile editor maximised from its title bar: back at its height, drawn whole"
activate "$XMAIN"
key alt+asterisk
EDITOR=$(window_of TFrmZuEditProfile)
XEDITOR=$(xwindow '^Edit profile$')
read -r _ _ _ design _ <<<"$(R rect "$EDITOR")"
xframe=$(x_frame "$XEDITOR")
frame_place() { xwininfo -id "$xframe" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } /Width:/ { w = $NF } END { print x, y, w }'; }
wait_for "the frame to stand still" 10 eval 'place=$(frame_place); sleep 0.2; test "$place" = "$(frame_place)"'
read -r fx fy fw _ <<<"$(frame_place)"
xdotool mousemove $((fx + fw / 2)) $((fy + 8)) click --repeat 2 --delay 100 1  # as a user maximises
sleep 1
wait_for "the editor at its own height" 10 eval 'R rect "$EDITOR" | awk -v h="$design" "{ exit !(\$4 == h && \$5 == \"normal\") }"'
[ "$(xwininfo -id "$XEDITOR" | awk '/Height:/ { print $NF }')" -lt 300 ] || fail "the X window stays tall"
activate "$XEDITOR"
key Escape
wait_for "the editor to close" 10 gone TFrmZuEditProfile
expect_eq "the stored state" "$(reg_value FrmZuEditProfile.WindowState)" "0x0"
activate "$XMAIN"
key alt+asterisk
EDITOR=$(window_of TFrmZuEditProfile)
wait_for "the editor opened at its own height" 10 eval 'R rect "$EDITOR" | awk -v h="$design" "{ exit !(\$4 == h && \$5 == \"normal\") }"'
