# The download on a clean machine: the zip unpacked and Pelmark.exe started
# in a brand-new Wine prefix, with no Agent and no settings. The main window
# comes up with its empty grid, and Add opens the setup first.
source "$(dirname "$0")/lib.sh"
zip=${PELMARK_ZIP:?PELMARK_ZIP names the download}
[ -f "$zip" ] || fail "no download at $zip"

step "unpacked into a folder of its own"
mkdir "$T/Pelmark"
python3 -m zipfile -e "$zip" "$T/Pelmark"
expect_eq "what the zip holds" "$(cd "$T/Pelmark" && ls | tr '\n' ' ')" "Pelmark.exe README.txt "

step "a brand-new Wine prefix with its own server"
export WINEPREFIX="$T/prefix"
"$WINE" wineboot -i >/dev/null 2>&1 || true
"$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d Y /f >/dev/null 2>&1
ON_EXIT='wineserver -k 2>/dev/null'  # the new prefix's server is ours to end

step "the unpacked Pelmark.exe started: the main window with the one empty row"
PELMARK_EXE="$T/Pelmark/Pelmark.exe" start_pelmark
expect_eq "the grid" "$(grid_rows | tr -d '\t*')" ""
[ "$(grid_rows | wc -l)" = 1 ] || fail "the grid shows rows: $(grid_rows)"

step "Add says why, then opens the setup, for the folders to be filled in first"
key alt+plus
BOX=$(window_of TMessageForm)
R controls "$BOX" | grep -q "Agent was not found where it is usually installed" || fail "Add does not say why"
key Return
window_of TFrmZuSetup >/dev/null
activate "$(xwindow '^Pelmark - Setup$')"
key Escape
wait_for "the setup to close" 10 gone TFrmZuSetup
activate "$XMAIN"
key Escape
wait_for "Pelmark to close" 15 eval '! running'
