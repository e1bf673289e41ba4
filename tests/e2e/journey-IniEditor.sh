# The INI editor: a value typed after a wheel scroll lands in the row the
# user clicked, and a Save without changes leaves the file as it was.
source "$(dirname "$0")/lib.sh"
registry_sandbox
demo_profiles
mkdir -p "$T/Profiles/Ini"
{ printf '[AAA Long]\r\n'; for i in $(seq 100 139); do printf 'key%s=v\r\n' "$i"; done; cat "$T/template.ini"; } \
    >"$T/Profiles/Ini/Agent.ini"
ini="$T/Profiles/Ini/Agent.ini"
values() { awk -F= '/^\[/ { s = $0 } /=/ { print s "/" $0 }' "$ini" | tr -d '\r' | sort; }
start_pelmark
while [ "$(selected_name)" != Ini ]; do key Down; done

open_ini_editor() {
    activate "$XMAIN"
    key alt+asterisk
    window_of TFrmZuEditProfile >/dev/null
    activate "$(xwindow '^Edit profile$')"
    key alt+f
    EDIT=$(window_of TFrmZuEditINIFile)
    activate "$(xwindow '^Edit .INI file$')"
    GRID=$(R controls "$EDIT" | awk -F'\t' '$2 == "SysListView32" && $4 == 1 { print $1; exit }')
    [ -n "$GRID" ] || fail "no grid shown"
}

step "a wheel scroll, a click on the top row's value, typing, Save: that key alone changes"
before=$(values)
open_ini_editor
read -r gx gy _ <<<"$(R rect "$GRID")"
xdotool mousemove $((gx + 200)) $((gy + 80))
xdotool click --repeat 3 --delay 100 5
wait_for "the grid to scroll" 10 eval 'test "$(R cell $GRID top 1 | cut -d" " -f3)" -gt 0'
read -r cx cy top <<<"$(R cell "$GRID" top 1)"
click_at "$cx" "$cy"
sleep 0.3
key End
type_text "X"
key alt+s
wait_for "the INI editor to close" 10 gone TFrmZuEditINIFile
key Escape
wait_for "the profile editor to close" 10 gone TFrmZuEditProfile
changed=$(diff <(echo "$before") <(values) | grep '^>' || true)
expect_eq "what changed in the file" "$changed" "> [AAA Long]/key$((100 + top))=vX"

step "opened again and saved without a change, the file stays byte for byte"
cp "$ini" "$T/saved.ini"
open_ini_editor
key alt+s
wait_for "the INI editor to close" 10 gone TFrmZuEditINIFile
key Escape
wait_for "the profile editor to close" 10 gone TFrmZuEditProfile
cmp -s "$ini" "$T/saved.ini" || fail "the file changed"
