#!/bin/sh
# Starts a Windows program with Wine's loader (CODESHIFT_WINE_LOADER). Without its preloader the
# loader now and then finds the address Windows programs expect their shared data at already
# taken by a randomly placed heap, and the run ends before the program starts; with the address
# space laid out without randomisation (where the system allows it) that never happens.
if [ "$CODESHIFT_WINE_FIXED_LAYOUT" = 1 ]; then
    exec setarch -R "$CODESHIFT_WINE_LOADER" "$@"
fi
exec "$CODESHIFT_WINE_LOADER" "$@"
