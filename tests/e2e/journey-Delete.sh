# Deleting: Yes sends the whole folder to the desktop trash, No keeps it.
source "$(dirname "$0")/lib.sh"
registry_sandbox
demo_profiles
name="Trashed-$$"
profile "$name" "To go" "news" "" 0
echo "agent data" >"$T/Profiles/$name/data.txt"
trash="${XDG_DATA_HOME:?the test run has its own desktop data}/Trash"
start_pelmark
while [ "$(selected_name)" != "$name" ]; do key Down; done

step "Alt+- and No: nothing changes"
key alt+minus
window_of TxMessageForm >/dev/null
key alt+n
wait_for "the question to close" 10 gone TxMessageForm
[ -d "$T/Profiles/$name" ] || fail "the folder went"
expect_eq "rows" "$(grid_rows | wc -l)" 4

step "Alt+- and Yes: the folder is in the trash and the row is gone"
activate "$XMAIN"
key alt+minus
window_of TxMessageForm >/dev/null
key alt+y
wait_for "the folder to go" 15 eval 'test ! -e "$T/Profiles/$name"'
wait_for "the row to go" 10 eval 'test "$(grid_rows | wc -l)" = 3'
expect_eq "the trashed file" "$(cat "$trash/files/$name/data.txt")" "agent data"
[ -f "$trash/files/$name/Agent.ini" ] || fail "Agent.ini is not in the trash"
rm -rf "${trash:?}/files/$name" "$trash/info/$name.trashinfo"
kill "$PELMARK"; wait "$PELMARK" 2>/dev/null || true

# A profile holding a link to a folder outside the profile folder, with a
# recycle bin that cannot be used: the shell would fall back on deleting for
# good, through the link. Nothing outside may go; under Wine, which cannot
# remove a link alone, nothing goes and the failure is reported.
mkdir -p "$T/outside/data" "$T/nobin"
echo "outside data" >"$T/outside/data/keep.txt"
profile "beta" "Linked" "news" "" 0
profile "gamma" "Plain" "news" "" 0
echo "gamma data" >"$T/Profiles/gamma/data.txt"
ln -s "$T/outside" "$T/Profiles/beta/ext"
touch "$T/nobin/Trash"  # a file where the recycle bin's folder would be
XDG_DATA_HOME="$T/nobin" start_pelmark
while [ "$(selected_name)" != "beta" ]; do key Down; done
step "Delete beta, Yes: only the failure is reported, and nothing outside is touched"
key alt+minus
window_of TxMessageForm >/dev/null
key alt+y
wait_for "the failure message" 15 R window TxMessageForm Error
key Return
wait_for "the message to close" 10 gone TxMessageForm
expect_eq "the outside file" "$(cat "$T/outside/data/keep.txt")" "outside data"
[ -f "$T/Profiles/beta/Agent.ini" ] || fail "beta's own files went"
[ -L "$T/Profiles/beta/ext" ] || fail "the link went"

step "Delete gamma, Yes: the shell asks about deleting for good, in front of the main window; No keeps it whole"
activate "$XMAIN"
while [ "$(selected_name)" != "gamma" ]; do key Down; done
key alt+minus
window_of TxMessageForm >/dev/null
key alt+y
question=$(window_of "#32770")
expect_eq "the owner of the shell's question" "$(R owner "$question")" TFrmZuMain
key Escape
wait_for "the failure message" 15 R window TxMessageForm Error
key Return
wait_for "the message to close" 10 gone TxMessageForm
expect_eq "gamma's file" "$(cat "$T/Profiles/gamma/data.txt")" "gamma data"
[ -f "$T/Profiles/gamma/Agent.ini" ] || fail "gamma's Agent.ini went"
