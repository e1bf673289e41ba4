# Launching: the selected row with Enter, Ctrl+Enter's reversal, and neither
# a click below the rows nor a typed letter changing what is launched.
source "$(dirname "$0")/lib.sh"
registry_sandbox
demo_profiles

step "Down selects the second profile, Enter starts Agent there and Pelmark closes"
start_pelmark
key Down
wait_for "Home to be selected" 10 eval 'test "$(selected_name)" = Home'
key Return
wait_for "the stand-in Agent's log" 15 eval 'test "$(log_lines)" -ge 1'
expect_eq "where Agent started, and its arguments" "$(tr -d '\r' <"$T/agent.log" | tail -1)" "${WT}Profiles\\Home|"
wait_for "Pelmark to close (Home closes it)" 15 eval '! running'

step "Ctrl+Enter keeps it open for once"
start_pelmark
key Down
wait_for "Home to be selected" 10 eval 'test "$(selected_name)" = Home'
key ctrl+Return
wait_for "a second launch" 15 eval 'test "$(log_lines)" -ge 2'
sleep 0.5  # a close would come at once; the window must still be there
R window TFrmZuMain >/dev/null || fail "Pelmark closed"

step "a letter and a click below the rows leave Home selected; Enter launches it"
activate "$XMAIN"
key w
read -r x y _ <<<"$(R rect "$(R controls "$MAIN" | awk -F'\t' '$2 == "SysListView32" { print $1 }')")"
click_at $((x + 100)) $((y + 250))
expect_eq "the selected profile" "$(selected_name)" Home
key Return
wait_for "a third launch" 15 eval 'test "$(log_lines)" -ge 3'
expect_eq "where the third started" "$(tr -d '\r' <"$T/agent.log" | tail -1)" "${WT}Profiles\\Home|"
wait_for "Pelmark to close" 15 eval '! running'
