# A full disk: a save that does not fit leaves Agent.ini whole and tells
# the user why; an Add that does not fit leaves no profile behind.
source "$(dirname "$0")/lib.sh"
registry_sandbox
demo_profiles

# A small disk of its own (the test command runs as root), named as a
# drive of the Wine prefix.
disk="$T/disk"
mkdir -p "$disk"
mount -t tmpfs -o size=64k tmpfs "$disk" || fail "cannot mount a small disk"
for letter in p q r s t u v w x y; do
    drive="${WINEPREFIX:?the test command names the prefix}/dosdevices/$letter:"
    [ -e "$drive" ] || [ -L "$drive" ] || break
done
ON_EXIT='rm -f "$drive"; umount "$disk"'
ln -s "$disk" "$drive"
setting ProfileFolder "${letter^^}:\\Profiles\\"

# A profile of about 4,000 bytes, every line as the service writes it, so
# that the disk's last free page holds its copy but not a longer title.
ini="$disk/Profiles/Full/Agent.ini"
mkdir -p "$disk/Profiles/Full"
{
    grep -v '^$' "$T/template.ini" | sed 's/^Title=.*/Title=Short/' | tr -d '\r' | sed 's/$/\r/'
    printf '[Padding]\r\n'
    for i in $(seq 100 207); do printf 'pad%s=%s\r\n' "$i" "$(printf '%024d' "$i")"; done
} >"$ini"
original=$(sha256sum <"$ini")
size=$(stat -c %s "$ini")
[ "$size" -lt 4096 ] && [ "$size" -gt 4000 ] || fail "the profile is $size bytes"
head -c 4096 /dev/zero >"$disk/reserve"
cat /dev/zero >"$disk/filler" 2>/dev/null || true
rm "$disk/reserve"

start_pelmark
while [ "$(selected_name)" != Full ]; do key Down; done

message_in() { R controls "$1" | cut -f5 | awk 'length > 20'; }

step "a longer title does not fit: the user is told why, and Agent.ini is whole"
key alt+asterisk
window_of TFrmZuEditProfile >/dev/null
activate "$(xwindow '^Edit profile$')"
type_text "A title long enough to need a second page of the disk, and then some more words for good measure, as a user might well type"
key alt+a
BOX=$(window_of "#32770")
text=$(message_in "$BOX")
grep -qF 'Unable to write to '"${letter^^}"':\Profiles\Full\Agent.ini' <<<"$text" || fail "the message says: $text"
grep -qiE 'disk.*full|full.*disk|not enough space' <<<"$text" || fail "the message gives no reason: $text"
wait_for "the report to have the keyboard" 10 eval 'R foreground | grep -q "^#32770"'
key Return
wait_for "the message to close" 10 gone "#32770"
expect_eq "Agent.ini" "$(sha256sum <"$ini")" "$original"
expect_eq "what the profile folder holds" "$(ls -A "$disk/Profiles/Full")" "Agent.ini"
activate "$(xwindow '^Edit profile$')"
key alt+c
wait_for "the editor to close" 10 gone TFrmZuEditProfile
wait_for "the old title in the grid" 10 eval 'grid_rows | grep -q "	Full	Short	"'

step "an Add on the full disk says why and leaves no Agent.ini"
cat /dev/zero >"$disk/filler2" 2>/dev/null || true
activate "$XMAIN"
key alt+plus
window_of TFrmZuEditProfile >/dev/null
activate "$(xwindow '^Edit profile$')"
type_text "Fresh"; key Tab Tab
type_text "news.fresh.example"
key alt+a
BOX=$(window_of TMessageForm)
text=$(message_in "$BOX")
grep -qF 'Could not copy default profile to "Fresh" !' <<<"$text" || fail "the message says: $text"
grep -qiE 'disk.*full|full.*disk|not enough space' <<<"$text" || fail "the message gives no reason: $text"
key Return
wait_for "the message to close" 10 gone TMessageForm
[ ! -e "$disk/Profiles/Fresh/Agent.ini" ] || fail "a half-made Agent.ini was left: $(ls -la "$disk/Profiles/Fresh")"
expect_eq "what the new folder holds" "$(ls -A "$disk/Profiles/Fresh")" ""
key alt+c
wait_for "the editor to close" 10 gone TFrmZuEditProfile
wait_for "the grid as it was" 10 eval 'test "$(grid_rows | wc -l)" = 1'
