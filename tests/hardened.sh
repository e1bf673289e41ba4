# What Windows security tools check in the built program: address-space
# randomisation (DYNAMIC_BASE 0x40), data execution prevention (NX_COMPAT
# 0x100), terminal-server awareness (0x8000), the stack protector's check
# linked in, and subsystem version 4.0 kept for the frame metrics.
# Usage: hardened.sh OBJDUMP PROGRAM
set -euo pipefail
headers=$("$1" -p "$2")
flags=$(awk '/^DllCharacteristics/ { print $2 }' <<<"$headers")
[ $((0x$flags & 0x8140)) -eq $((0x8140)) ] || { echo "DllCharacteristics $flags lacks some of 0x8140"; exit 1; }
grep -qP '^MajorSubsystemVersion\t4$' <<<"$headers" && grep -qP '^MinorSubsystemVersion\t0$' <<<"$headers" ||
    { echo "the subsystem version is not 4.0"; exit 1; }
grep -q 'stack smashing detected' "$2" || { echo "no stack protector in the program"; exit 1; }
echo "hardened: DllCharacteristics $flags, subsystem 4.0, stack protector"
