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


step "a place value of the wrong type, with the splash screen up: reported in front of it"
key Escape
wait_for "Pelmark to close" 15 eval '! running'
setting FrmZuMain.Left "150"  # a string where a number belongs
"$WINE" "$BIN/Pelmark.exe" &
PIDS+=($!)
PELMARK=$!
box=$(window_of "#32770")
wait_for "the splash screen" 10 R window TFrmKelSplash
expect_eq "the report" "$(R controls "$box" | grep -c "Invalid data type for 'FrmZuMain.Left'")" 1
wait_for "the report to have the keyboard" 10 eval 'R foreground | grep -q "^#32770"'
wait_for "the report to be active and in front of the splash on screen" 10 x_active_in_front_of_its_owner

step "meanwhile a second start hands over to this copy, and ends with 0"
sleep 3  # the first copy's main window is there, still being made
"$WINE" "$BIN/Pelmark.exe" &
second=$!
PIDS+=($second)
wait_for "the second start to end" 25 eval '! kill -0 $second 2>/dev/null'
wait "$second" || fail "the second start ended with $?"

step "Enter dismisses the report; the one main window opens and stores its place rightly"
key Return
wait_for "the main window" 30 R window TFrmZuMain
expect_eq "main windows" "$(R count TFrmZuMain)" 1
MAIN=$(R window TFrmZuMain)
activate "$(xwindow '^Pelmark$')"
key Escape
wait_for "Pelmark to close" 15 eval '! running'
expect_eq "the stored place" "$(reg_value FrmZuMain.Left | grep -c '^0x')" 1
