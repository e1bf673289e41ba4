# A hint long enough to reach past the edge of its dialog: the dialog stays
# drawn on screen while the hint shows. (Under Wine such a hint used to leave
# the dialog's client area black until it went.)
source "$(dirname "$0")/lib.sh"
registry_sandbox
demo_profiles
start_pelmark

# Percent of the bytes of a window's picture on screen that are not black.
lit() {
    local picture="$T/window.xwd"
    xwd -id "$1" -silent >"$picture" || return 1
    echo $((100 * $(tr -d '\0' <"$picture" | wc -c) / $(wc -c <"$picture")))
}

step "Alt+S opens the setup"
key alt+s
SETUP=$(window_of TFrmZuSetup)
XSETUP=$(xwindow '^Pelmark - Setup$')
activate "$XSETUP"
wait_for "the setup drawn" 10 eval '[ "$(lit "$XSETUP")" -gt 30 ]'

step "the pointer rests on the middle of a colour box, whose hint is wider than the room to the right"
read -r x y <<<"$(R where "$SETUP" ComboBox)"
[ -n "$y" ] || fail "no colour box"
xdotool mousemove "$x" "$y" sleep 0.1 mousemove $((x + 2)) $((y + 1))
wait_for "the hint" 10 R window tooltips_class32
wait_for "the setup drawn while its hint shows" 3 eval 'R window tooltips_class32 && [ "$(lit "$XSETUP")" -gt 30 ]'
echo "   ok: the setup stays drawn"
xdotool mousemove 0 0
key Escape
wait_for "the setup to close" 10 gone TFrmZuSetup
