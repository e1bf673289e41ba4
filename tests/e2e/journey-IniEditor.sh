# The INI editor: a value typed after a wheel scroll lands in the row the
# user clicked, a Save without changes leaves the file as it was, and the
# pointer is an hourglass while a big file is read.
source "$(dirname "$0")/lib.sh"
registry_sandbox
demo_profiles
mkdir -p "$T/Profiles/Ini"
{ printf '[AAA Long]\r\n'; for i in $(seq 100 139); do printf 'key%s=v\r\n' "$i"; done; cat "$T/template.ini"; } \
    >"$T/Profiles/Ini/Agent.ini"
ini="$T/Profiles/Ini/Agent.ini"
mkdir -p "$T/Profiles/Big"
for i in $(seq 8000); do printf '[Section%s]\r\nKey=%s\r\n' "$i" "$i"; done >"$T/Profiles/Big/Agent.ini"
touch -d '1 minute ago' "$T/Profiles/Big/Agent.ini"  # Wine reads a file of the last 2 s again at every call
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

step "a big file: over the button that opens it, the pointer is an hourglass while it is read"
activate "$XMAIN"
key Home
while [ "$(selected_name)" != Big ]; do key Down; done
key alt+asterisk
PROFILE=$(window_of TFrmZuEditProfile)
activate "$(xwindow '^Edit profile$')"
BUTTON=$(R controls "$PROFILE" | awk -F'\t' '$5 == ".INI &file" { print $1; exit }')
read -r bx by bw bh _ <<<"$(R rect "$BUTTON")"
xdotool mousemove $((bx + bw / 2)) $((by + bh / 2))
sleep 0.3
arrow=$(python3 "$(dirname "$0")/cursor.py" 1)
python3 "$(dirname "$0")/cursor.py" 80 >"$T/cursors" &
sampler=$!
xdotool click 1
window_of TFrmZuEditINIFile >/dev/null
wait "$sampler"
# Five samples in a row (a quarter of a second) of a cursor other than the
# arrow the button showed.
longest=$(awk -v arrow="$arrow" '$1 != arrow { run++; if (run > best) best = run; next } { run = 0 } END { print best + 0 }' "$T/cursors")
[ "$longest" -ge 5 ] || fail "no hourglass while the file was read (cursors: $(uniq -c "$T/cursors" | tr '\n' ' '))"
key Escape
wait_for "the INI editor to close" 10 gone TFrmZuEditINIFile
key Escape
wait_for "the profile editor to close" 10 gone TFrmZuEditProfile
