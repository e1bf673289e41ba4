# F1 asks for help on the grid; Shift+F1 shows the About window alone; Ctrl+F1
# toggles the hints, stored at once, and shows nothing.
source "$(dirname "$0")/lib.sh"
registry_sandbox
demo_profiles
start_pelmark

step "F1 on the grid shows its help"
key F1
BOX=$(window_of TxMessageForm)
R controls "$BOX" | grep -q 'The Agent profiles that you have' || fail "not the grid's help"
activate "$(xwindow '^Information$')"
key Return
wait_for "the help to close" 10 gone TxMessageForm

step "Shift+F1 shows the About window and nothing else"
activate "$XMAIN"
key shift+F1
window_of TFrmKelVersionAbout >/dev/null
activate "$(xwindow '^About - Pelmark$')"
gone TxMessageForm || fail "a help message came too"
key Escape
wait_for "the About window to close" 10 gone TFrmKelVersionAbout

step "Ctrl+F1 toggles the hints and shows nothing"
activate "$XMAIN"
before=$(reg_value ShowHint)
key ctrl+F1
wait_for "the hint setting to be stored" 10 eval 'test "$(reg_value ShowHint)" != "$before"'
gone TxMessageForm || fail "a help message came"
