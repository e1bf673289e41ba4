# The main window comes back where it was left. (It has no maximise button,
# so a user cannot maximise it under a window manager; closing it maximised
# is covered by the in-process placement tests.)
source "$(dirname "$0")/lib.sh"
registry_sandbox
demo_profiles
start_pelmark

step "moved and resized, closed, started again: the same place"
xdotool windowmove --sync "$XMAIN" 150 120
xdotool windowsize --sync "$XMAIN" 600 420
sleep 0.5
read -r x y w h state <<<"$(R rect "$MAIN")"
key Escape
wait_for "Pelmark to close" 15 eval '! running'
start_pelmark
expect_eq "the bounds" "$(R rect "$MAIN")" "$x $y $w $h normal"

