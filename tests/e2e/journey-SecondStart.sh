# A second start hands over to the running copy, also while it is busy.
source "$(dirname "$0")/lib.sh"
registry_sandbox
demo_profiles
for i in $(seq 1 1500); do
    mkdir -p "$T/Profiles/p$i" && cp "$T/template.ini" "$T/Profiles/p$i/Agent.ini"
done
start_pelmark

step "started again with three parameters: exit code 0, one main window, in front"
wine "$BIN/Pelmark.exe" a b c && code=0 || code=$?
expect_eq "the second start's exit code" "$code" 0
expect_eq "main windows" "$(R count TFrmZuMain)" 1
wait_for "Pelmark in front" 10 eval 'R foreground | grep -q ^TFrmZuMain'

step "the same while the running copy refreshes its 1,500 profiles"
activate "$XMAIN"
key alt+r
wine "$BIN/Pelmark.exe" a b c && code=0 || code=$?
expect_eq "the second start's exit code" "$code" 0
expect_eq "main windows" "$(R count TFrmZuMain)" 1
