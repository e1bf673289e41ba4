# Runs a test program under Wine: under-wine.sh LOADER PROGRAM [ARGUMENTS...].
# Where the test command found that this machine cannot run this build's
# programs (a kernel without 32-bit code, for the 32-bit build), it says why
# and reports the test skipped (CTest's code 77): never passed, never failed.
if [ -n "${PELMARK_CANNOT_RUN:-}" ]; then
    echo "skipped: $PELMARK_CANNOT_RUN"
    exit 77
fi
exec "$@"
