# Adding a profile with the keyboard, editing its title, and names that
# would reach outside the profile folder refused.
source "$(dirname "$0")/lib.sh"
registry_sandbox
demo_profiles
start_pelmark

step "Alt++ opens the editor; the typed profile appears in the grid and in its file"
key alt+plus
EDITOR=$(window_of TFrmZuEditProfile)
activate "$(xwindow '^Edit profile$')"
type_text "Fresh"; key Tab
type_text "Fresh title"; key Tab
type_text "news.fresh.example"; key Tab
type_text "mail.fresh.example"
key alt+a
wait_for "the editor to close" 10 gone TFrmZuEditProfile
wait_for "the new row" 10 eval 'grid_rows | grep -q "	Fresh	Fresh title	news.fresh.example	mail.fresh.example"'
ini="$T/Profiles/Fresh/Agent.ini"
grep -q '^Title=Fresh title' "$ini" || fail "the title is not in $ini"
grep -q '^NewsServer=news.fresh.example' "$ini" || fail "the news server is not in $ini"
grep -qi '^ForceAgentClient=' "$ini" || fail "the template's other lines are not in $ini"

step "Alt+* on it, a new title, Save: the grid shows it"
while [ "$(selected_name)" != Fresh ]; do key Down; done
key alt+asterisk
window_of TFrmZuEditProfile >/dev/null
activate "$(xwindow '^Edit profile$')"
type_text "Renamed title"    # the title is focused, its text selected
key alt+a
wait_for "the editor to close" 10 gone TFrmZuEditProfile
wait_for "the new title in the grid" 10 eval 'grid_rows | grep -q "	Fresh	Renamed title	"'

step "names that leave the profile folder are refused and make nothing"
for name in '..\x' 'a\b' '.'; do
    activate "$XMAIN"
    key alt+plus
    window_of TFrmZuEditProfile >/dev/null
    activate "$(xwindow '^Edit profile$')"
    type_text "$name"; key Tab Tab
    type_text "news"
    key alt+a
    BOX=$(window_of TMessageForm)
    # (The reader's lines lose the message's line break.)
    reason='A name cannot hold any of \ / : * ? " < > |.'
    [ "$name" = . ] && reason='A name cannot end with a space or a dot.'
    expect_eq "the message for $name" "$(R controls "$BOX" | awk -F'\t' '$2 == "Static" && $5 != "" { print $5 }')" \
        "You must enter a valid profile name !$reason"
    key Return                   # its one button
    wait_for "the message to close" 10 gone TMessageForm
    key alt+c                    # Cancel the editor
    wait_for "the editor to close" 10 gone TFrmZuEditProfile
done
[ ! -e "$T/x" ] && [ ! -e "$T/Profiles/a" ] || fail "something was made outside the profiles"
expect_eq "what the profile folder holds" "$(ls "$T/Profiles" | tr '\n' ,)" "Fresh,Home,Work news,archive,"

step "the editor's close box, Return to \"Cancel all changes ?\": the grid has the keyboard again"
activate "$XMAIN"
key alt+asterisk
window_of TFrmZuEditProfile >/dev/null
XEDITOR=$(xwindow '^Edit profile$')
activate "$XEDITOR"
ax=$(xwininfo -id "$XEDITOR" | awk '/Absolute upper-left X/ { print $NF }')
ay=$(xwininfo -id "$XEDITOR" | awk '/Absolute upper-left Y/ { print $NF }')
aw=$(xwininfo -id "$XEDITOR" | awk '/Width:/ { print $NF }')
click_at $((ax + aw - 8)) $((ay - 10))  # the close box on the window manager's title bar
wait_for "the question" 10 R window TMessageForm
activate "$(xwindow '^Confirm$')"
key Return
wait_for "the editor to close" 10 gone TFrmZuEditProfile
wait_for "Pelmark in front" 10 eval 'R foreground | grep -q ^TFrmZuMain'
wait_for "the grid to have the keyboard" 10 eval 'R focus | grep -q ^SysListView32'
row=$(selected_name)
key Down
wait_for "Down to move the selection" 5 eval 'test "$(selected_name)" != "$row"'
