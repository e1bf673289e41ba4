# What Windows security tools check in the built program, with each build's
# own figures: address-space randomisation (DYNAMIC_BASE 0x40, with the
# relocations it needs; for 64-bit also HIGH_ENTROPY_VA 0x20), data
# execution prevention (NX_COMPAT 0x100), terminal-server awareness
# (0x8000), no section both writable and executable, and the stack
# protector's check linked in. The subsystem version is 4.0 for 32-bit,
# kept for the frame metrics, and 5.2 for 64-bit, the lowest a 64-bit
# program may have and still below 6.0, where those metrics change.
# Usage: hardened.sh OBJDUMP PROGRAM
set -euo pipefail
headers=$("$1" -p "$2")
case $(awk '/^Magic/ { print $2 }' <<<"$headers") in
010b) want=0x8140 subsystem=4.0 ;;
020b) want=0x8160 subsystem=5.2 ;;
*) echo "neither a 32-bit nor a 64-bit program"; exit 1 ;;
esac
flags=$(awk '/^DllCharacteristics/ { print $2; exit }' <<<"$headers")
[ $((0x$flags & want)) -eq $((want)) ] || { echo "DllCharacteristics $flags lacks some of $want"; exit 1; }
have=$(awk '/^MajorSubsystemVersion/ { M = $2 } /^MinorSubsystemVersion/ { m = $2 } END { print M "." m }' <<<"$headers")
[ "$have" = "$subsystem" ] || { echo "the subsystem version is $have, not $subsystem"; exit 1; }
sections=$("$1" -h "$2")
# Each section's name line is followed by its flags line.
wx=$(awk '/^ *[0-9]+ / { name = $2; next } name != "" && /CODE/ && !/READONLY/ { print name } { name = "" }' <<<"$sections")
[ -z "$wx" ] || { echo "writable and executable: $wx"; exit 1; }
grep -qE '^ *[0-9]+ \.reloc ' <<<"$sections" || { echo "no relocations: the program cannot be moved"; exit 1; }
grep -q 'stack smashing detected' "$2" || { echo "no stack protector in the program"; exit 1; }
echo "hardened: DllCharacteristics $flags, subsystem $subsystem, no writable code, relocations, stack protector"
