# Deleting: Yes sends the whole folder to the desktop trash, No keeps it.
source "$(dirname "$0")/lib.sh"
registry_sandbox
demo_profiles
name="Trashed-$$"
profile "$name" "To go" "news" "" 0
echo "agent data" >"$T/Profiles/$name/data.txt"
trash="$HOME/.local/share/Trash"
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
