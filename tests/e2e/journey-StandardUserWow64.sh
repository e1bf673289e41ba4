# As most Windows users run it: a 32-bit program in a 64-bit system (WOW64),
# started by a standard user who cannot write to Program Files. Agent is in
# the 32-bit Program Files folder, made read-only; the user has a 64-bit
# prefix of their own and no settings. The first Add goes to the user's own
# profile folder without a word, though the template is read-only; Launch
# and Delete work there; the settings land in the user's registry,
# unredirected. A profile already beside Agent keeps Agent's folder the
# default. In the 64-bit build's tests the same journey runs that build's
# program, natively: it still looks for Agent, a 32-bit program, in the
# 32-bit Program Files folder.
source "$(dirname "$0")/lib.sh"
command -v setpriv >/dev/null || fail "setpriv (util-linux) is needed to run as another user"
[ -x /usr/lib/wine/wine64 ] || fail "Debian's 64-bit Wine (wine64) is not installed"

# Whoever runs the tests as the superuser (as CI does) hands this journey to
# an ordinary account, for which permissions hold.
home="$T/user"
mkdir -p "$home/data/Trash/files" "$home/data/Trash/info"
# The user gets copies: the build folder may be one only its owner can
# enter (a clone in a folder of mktemp -d is).
mkdir -p "$home/agent"
cp "$BIN/Pelmark.exe" "$BIN/e2e_reader.exe" "$home/"
cp "$BIN/agent/Agent.exe" "$BIN/agent/Agent.ini" "$home/agent/"
AS_USER=()
if [ "$(id -u)" -eq 0 ]; then AS_USER=(setpriv --reuid=65534 --regid=65534 --clear-groups); fi
AS_USER+=(env -i PATH=/usr/bin:/bin DISPLAY="$DISPLAY" HOME="$home" WINEPREFIX="$home/prefix"
    WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" XDG_DATA_HOME="$home/data"
    PELMARK_AGENT_LOG="Z:${home//\//\\}\\agent.log")
as_user() { "${AS_USER[@]}" "$@"; }
run_wine() { exec "${AS_USER[@]}" "$WINE" "$@"; }
R() { as_user timeout 30 "$WINE" "$home/e2e_reader.exe" "$@" 2>/dev/null | tr -d '\r'; }
message_text() { R controls "$1" | awk -F'\t' '$2 == "Static" && $5 != "" { print $5 }'; }
if [ "$(id -u)" -eq 0 ]; then chmod 711 "$T" && chown -R 65534:65534 "$home"; fi
export WINEPREFIX="$home/prefix"  # lib.sh's own clean-up touches no other prefix

step "a 64-bit prefix of the user's own, Agent in its 32-bit Program Files, read-only"
as_user /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
as_user wineserver -w
as_user wineserver -p 2>/dev/null || true
ON_EXIT='as_user wineserver -k 2>/dev/null'
as_user "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d Y /f >/dev/null 2>&1
agent="$home/prefix/drive_c/Program Files (x86)/Agent"
[ -d "$home/prefix/drive_c/Program Files (x86)" ] || fail "the prefix is not a 64-bit one"
as_user mkdir "$agent"
as_user cp "$home/agent/Agent.exe" "$home/agent/Agent.ini" "$agent/"
as_user chmod 444 "$agent/Agent.ini"  # a read-only template
as_user chmod 555 "$agent"
as_user touch "$agent/probe" 2>/dev/null && fail "the user can write in Agent's folder"
# (Asked until the new prefix answers: on a loaded machine its first
# programs may still be starting.)
local_app=""
ask_local_app() { local_app=$(as_user "$WINE" cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r') && [ -n "$local_app" ]; }
wait_for "the user's local application data folder" 60 ask_local_app
profiles="$local_app\\Pelmark\\Profiles\\"
unix_profiles=$(as_user "$WINE" winepath -u "$profiles" 2>/dev/null | tr -d '\r')
[ -n "$unix_profiles" ] || fail "no local application data folder"

step "the first start: the derived folders are the 32-bit Program Files ones, profiles the user's own"
PELMARK_EXE="$home/Pelmark.exe" start_pelmark
key alt+s
SETUP=$(window_of TFrmZuSetup)
fields=$(R controls "$SETUP" | awk -F'\t' '$2 == "Edit" { split($3, at, " "); print at[2] "\t" $5 }' | sort -n | cut -f2)
expect_eq "Agent folder" "$(sed -n 1p <<<"$fields")" 'C:\Program Files (x86)\Agent\'
expect_eq "template" "$(sed -n 2p <<<"$fields")" 'C:\Program Files (x86)\Agent\Agent.ini'
expect_eq "profile folder" "$(sed -n 3p <<<"$fields")" "$profiles"
activate "$(xwindow '^Pelmark - Setup$')"
key Escape
wait_for "the setup to close" 10 gone TFrmZuSetup

step "the first Add makes the profile in the user's folder from the read-only template, and shows no error"
activate "$XMAIN"
key alt+plus
window_of TFrmZuEditProfile >/dev/null
activate "$(xwindow '^Edit profile$')"
type_text First
key Tab Tab
type_text news.first
key Return
wait_for "the editor to close" 15 gone TFrmZuEditProfile
[ "$(R count TMessageForm)" = 0 ] || fail "an error was shown: $(message_text "$(R window TMessageForm)")"
[ -f "$unix_profiles/First/Agent.ini" ] || fail "no profile in $unix_profiles"
grep -q '^NewsServer=news.first' "$unix_profiles/First/Agent.ini" || fail "the profile's news server was not written"
as_user test -w "$unix_profiles/First/Agent.ini" || fail "the new profile's Agent.ini is read-only"
wait_for "the new row" 10 eval 'test "$(selected_name)" = First'

step "Launch starts the stand-in Agent in the profile's folder"
activate "$XMAIN"
key ctrl+Return  # First stays on launch; Ctrl makes this launch close Pelmark
wait_for "the stand-in Agent's log" 15 eval 'test -s "$home/agent.log"'
expect_eq "where Agent started, and its arguments" "$(tr -d '\r' <"$home/agent.log" | tail -1)" "${profiles}First|"
wait_for "Pelmark to close" 15 eval '! running'
R close AgentStandIn >/dev/null

step "the settings are the user's own, not redirected"
as_user /usr/lib/wine/wine64 reg query 'HKCU\Software\Brennvik\Pelmark' /v FrmZuMain.Width >/dev/null 2>&1 ||
    fail "no settings under HKCU\\Software\\Brennvik\\Pelmark"
as_user /usr/lib/wine/wine64 reg query 'HKCU\Software\Wow6432Node\Brennvik' >/dev/null 2>&1 &&
    fail "settings under Wow6432Node"

step "Delete sends the profile to the user's recycle bin"
PELMARK_EXE="$home/Pelmark.exe" start_pelmark
wait_for "First to be selected" 10 eval 'test "$(selected_name)" = First'
key alt+minus
window_of TxMessageForm >/dev/null
key alt+y
wait_for "the folder to go" 15 eval 'test ! -e "$unix_profiles/First"'
[ -f "$home/data/Trash/files/First/Agent.ini" ] || fail "the profile is not in the recycle bin"

step "a profile folder the user may not write to: the failure says why and where to choose another"
access_denied="Access denied."  # the system's own words for the reason (the reader's lines lose the line breaks)
activate "$XMAIN"
key Escape
wait_for "Pelmark to close" 15 eval '! running'
as_user "$WINE" reg add 'HKCU\Software\Brennvik\Pelmark' /v ProfileFolder /d 'C:\Program Files (x86)\Agent\' /f >/dev/null 2>&1
PELMARK_EXE="$home/Pelmark.exe" start_pelmark
key alt+plus
window_of TFrmZuEditProfile >/dev/null
activate "$(xwindow '^Edit profile$')"
type_text Second
key Tab Tab
type_text news.second
key Return
ERROR=$(window_of TMessageForm Error)
# (The reader's lines lose the message's line break.)
expect_eq "the message" "$(message_text "$ERROR")" \
    "Could not create the profile \"Second\" !${access_denied}You may not write in this folder: choose another \"Profile folder\" in Setup."

key Return
wait_for "the message to close" 10 gone TMessageForm
[ ! -e "$agent/Second" ] || fail "a folder was made in Agent's folder"
key alt+c
wait_for "the editor to close" 10 gone TFrmZuEditProfile
activate "$XMAIN"
key Escape
wait_for "Pelmark to close" 15 eval '! running'

step "no settings, and a profile an administrator made beside Agent: it is listed, and launches"
as_user "$WINE" reg delete 'HKCU\Software\Brennvik' /f >/dev/null 2>&1
chmod 755 "$agent"  # as the administrator
mkdir "$agent/Old News"
sed 's/^Title=.*/Title=Made by the administrator/' "$home/agent/Agent.ini" >"$agent/Old News/Agent.ini"
chmod 555 "$agent"
PELMARK_EXE="$home/Pelmark.exe" start_pelmark
wait_for "the old profile listed" 10 eval 'grid_rows | grep -q "	Old News	Made by the administrator	"'
expect_eq "rows" "$(grid_rows | wc -l)" 1
key Return
wait_for "the stand-in Agent's log to name it" 15 eval 'tr -d "\r" <"$home/agent.log" | tail -1 | grep -q "Old News"'
R close AgentStandIn >/dev/null
[ -e "$agent/Old News/Agent.ini" ] || fail "the old profile went"

step "its Agent.ini is the user's own, in the administrator's folder: Edit saves it where it is, saying once that such saves are not safe against a crash"
[ "$(id -u)" -eq 0 ] && chown 65534:65534 "$agent/Old News/Agent.ini"  # as the administrator, for the user
activate "$XMAIN"
key alt+asterisk
window_of TFrmZuEditProfile >/dev/null
activate "$(xwindow '^Edit profile$')"
type_text "Renamed by the user"  # the title is focused, its text selected
key alt+a
NOTE=$(window_of TxMessageForm)
message_text "$NOTE" | grep -q "a crash during it can leave the file damaged" || fail "the note says: $(message_text "$NOTE")"
key Return
wait_for "the editor to close" 15 gone TFrmZuEditProfile
[ "$(R count TMessageForm)" = 0 ] || fail "an error was shown: $(message_text "$(R window TMessageForm)")"
grep -q '^Title=Renamed by the user' "$agent/Old News/Agent.ini" || fail "the title was not saved"
activate "$XMAIN"
key alt+asterisk
window_of TFrmZuEditProfile >/dev/null
activate "$(xwindow '^Edit profile$')"
type_text "Again"
key alt+a
wait_for "the editor to close, with no second note" 15 gone TFrmZuEditProfile
[ "$(R count TxMessageForm)" = 0 ] || fail "a message was shown: $(message_text "$(R window TxMessageForm)")"
grep -q '^Title=Again' "$agent/Old News/Agent.ini" || fail "the second title was not saved"
[ "$(ls "$agent/Old News")" = Agent.ini ] || fail "the folder holds more than Agent.ini: $(ls "$agent/Old News")"
