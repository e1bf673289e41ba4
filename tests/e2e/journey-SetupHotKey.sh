# The setup dialog: a hot key pressed into its control and confirmed brings
# Pelmark forward from another window; Escape stores nothing.
source "$(dirname "$0")/lib.sh"
registry_sandbox
demo_profiles
start_pelmark

step "Alt+S opens the setup; Ctrl+Alt+P in the hot-key control, then OK"
key alt+s
SETUP=$(window_of TFrmZuSetup)
activate "$(xwindow '^Pelmark - Setup$')"
key alt+h                       # "Application &hotkey" focuses the hot-key control
key ctrl+alt+p
click_control "$SETUP" OK
wait_for "the setup to close" 10 gone TFrmZuSetup
expect_eq "the stored hot key" "$(reg_value AppHotKey)" "0xc050"

step "from Agent's window, Ctrl+Alt+P makes Pelmark the active window on screen"
"$WINE" "$BIN/agent/Agent.exe" &
PIDS+=($!)
activate "$(xwindow '^Agent$')"
wait_for "the stand-in in front" 10 eval 'R foreground | grep -q ^AgentStandIn'
key ctrl+alt+p
wait_for "Pelmark active on screen" 10 x_active "$XMAIN"
wait_for "Pelmark in front for Wine too" 10 eval 'R foreground | grep -q ^TFrmZuMain'

step "Escape on the setup stores nothing"
activate "$XMAIN"
key alt+s
window_of TFrmZuSetup >/dev/null
activate "$(xwindow '^Pelmark - Setup$')"
key alt+h
key ctrl+alt+q
key Escape
wait_for "the setup to close" 10 gone TFrmZuSetup
expect_eq "the stored hot key" "$(reg_value AppHotKey)" "0xc050"
