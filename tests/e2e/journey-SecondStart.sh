# A second start hands over to the running copy, also while it is busy.
source "$(dirname "$0")/lib.sh"
registry_sandbox
demo_profiles
# Enough profiles that a Refresh keeps the running copy busy for seconds.
template=$(<"$T/template.ini")
(cd "$T/Profiles" && mkdir p{1..4000})
for i in {1..4000}; do printf '%s\n' "$template" >"$T/Profiles/p$i/Agent.ini"; done
start_pelmark

step "with another program in front, started again with three parameters: exit code 0, one main window, active on screen"
other_program_in_front
timeout 60 "$WINE" "$BIN/Pelmark.exe" a b c && code=0 || code=$?
expect_eq "the second start's exit code" "$code" 0
expect_eq "main windows" "$(R count TFrmZuMain)" 1
wait_for "Pelmark active on screen" 10 x_active "$XMAIN"
wait_for "Pelmark in front for Wine too" 10 eval 'R foreground | grep -q ^TFrmZuMain'

step "with Setup open and another program in front, started again: Setup is the active window and takes keys"
activate "$XMAIN"
key alt+s
window_of TFrmZuSetup >/dev/null
XSETUP=$(xwindow '^Pelmark - Setup$')
other_program_in_front
timeout 60 "$WINE" "$BIN/Pelmark.exe" && code=0 || code=$?
expect_eq "the second start's exit code" "$code" 0
wait_for "Setup active on screen" 10 x_active "$XSETUP"
key Escape
wait_for "Escape to close Setup" 10 gone TFrmZuSetup

step "the same while the running copy refreshes its 4,000 profiles"
activate "$XMAIN"
key alt+r
timeout 60 "$WINE" "$BIN/Pelmark.exe" a b c && code=0 || code=$?
expect_eq "the second start's exit code" "$code" 0
expect_eq "main windows" "$(R count TFrmZuMain)" 1

step "minimised by the window manager, then started again: the running copy is restored"
wait_for "the refresh to end" 60 eval 'test "$(R rowcount "$MAIN")" -gt 4000'
xdotool windowminimize "$XMAIN"
wait_for "Pelmark minimised" 10 eval 'R rect "$MAIN" | grep -q iconic'
timeout 60 "$WINE" "$BIN/Pelmark.exe" && code=0 || code=$?
expect_eq "the second start's exit code" "$code" 0
wait_for "Pelmark restored" 10 eval 'R rect "$MAIN" | grep -q normal'
wait_for "Pelmark in front" 10 eval 'R foreground | grep -q ^TFrmZuMain'
wait_for "the X window shown" 10 eval 'xdotool search --onlyvisible --name "^Pelmark$" | grep -qx "$XMAIN"'
wait_for "Pelmark active on screen" 10 x_active "$XMAIN"

step "maximised, with another program in front, started again: forward and still maximised, and stored so"
xframe=$(x_frame "$XMAIN")
frame_place() { xwininfo -id "$xframe" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } /Width:/ { w = $NF } END { print x, y, w }'; }
# The window manager animates a restore from the task bar: its frame may
# still be growing when the window is already active.
wait_for "the frame to stand still" 10 eval 'place=$(frame_place); sleep 0.2; test "$place" = "$(frame_place)"'
read -r fx fy fw _ <<<"$(frame_place)"
xdotool mousemove $((fx + fw / 2)) $((fy + 8)) click --repeat 2 --delay 100 1  # the title bar, as a user maximises
wait_for "Pelmark maximised" 10 eval 'R rect "$MAIN" | grep -q zoomed'
other_program_in_front
timeout 60 "$WINE" "$BIN/Pelmark.exe" && code=0 || code=$?
expect_eq "the second start's exit code" "$code" 0
wait_for "Pelmark active on screen" 10 x_active "$XMAIN"
wait_for "Pelmark maximised again" 10 eval 'R rect "$MAIN" | grep -q zoomed'
key Escape
wait_for "Pelmark to end" 10 eval '! running'
expect_eq "the stored window state" "$(reg_value FrmZuMain.WindowState)" "0x2"
