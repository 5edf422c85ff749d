#!/usr/bin/env bash
# The Windows programs under Wine, for CTest:
#   harness.sh prefix PREFIX LAUNCHER                 make the Wine prefix unless it is ready
#   harness.sh suite  PREFIX LAUNCHER PROGRAM FLAVOR SUITE
#                                                     run the end-to-end SUITE against PROGRAM
#   harness.sh stop   PREFIX LAUNCHER                 stop the prefix's Wine server and programs
# A missing launcher or program skips (exit 77), or fails when CODESHIFT_WINDOWS_REQUIRED=1.
# The prefix lives in the build folder, is made once and shared by both programs' runs.
set -uo pipefail

action="$1"
prefix="$2"
launcher="${3:-}"
here="$(cd "$(dirname "$0")" && pwd)"
required="${CODESHIFT_WINDOWS_REQUIRED:-0}"

# What changes the prefix's making; a prefix made otherwise is made again.
recipe="codeshift wine prefix 1: win64, no mono/gecko/menus, viewer.reg $(cksum < "$here/viewer.reg")"

# No display: nothing may show a window or wait on one. No Mono or Gecko (their installers would
# ask), no desktop menu entries in the user's home, no debug chatter. Wine reads the Linux
# command line and file names in the locale's encoding: UTF-8, as the native build always does.
wine_env=(env -u DISPLAY -u WAYLAND_DISPLAY LC_ALL=C.UTF-8 WINEPREFIX="$prefix" WINEDEBUG=-all
          WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d")

missing() {
    echo "$1"
    if [ "$required" = 1 ]; then exit 1; fi
    exit 77
}

server() {
    local beside
    beside="$(dirname "$launcher")/wineserver"
    if [ -x "$beside" ]; then echo "$beside"; else command -v wineserver; fi
}

# Processes that run in this prefix (their environment names it), zombies aside.
prefix_processes() {
    local p
    for p in /proc/[0-9]*; do
        if tr '\0' '\n' < "$p/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$prefix"; then
            echo "${p#/proc/} $(tr '\0' ' ' < "$p/cmdline" 2>/dev/null)"
        fi
    done
}

case "$action" in
prefix)
    if [ -z "$launcher" ] || [ ! -x "$launcher" ]; then
        echo "no Wine launcher: no prefix to make"
        [ "$required" = 1 ] && exit 1
        exit 0
    fi
    if [ -f "$prefix/.codeshift-recipe" ] && [ "$(cat "$prefix/.codeshift-recipe")" = "$recipe" ]; then
        echo "prefix ready: $prefix"
        exit 0
    fi
    started=$SECONDS
    "${wine_env[@]}" "$(server)" -k 2> /dev/null
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    "${wine_env[@]}" WINEARCH=win64 "$launcher" wineboot --init < /dev/null || exit 1
    # Wine's drive Z: is the root of the Linux file system.
    "${wine_env[@]}" "$launcher" regedit /S "Z:${here//\//\\}\\viewer.reg" < /dev/null || exit 1
    # The registry reaches the disk when the server ends.
    "${wine_env[@]}" "$(server)" -w
    echo "$recipe" > "$prefix/.codeshift-recipe"
    echo "prefix made in $((SECONDS - started)) s: $prefix"
    ;;
suite)
    program="$4"
    flavor="$5"
    suite="$6"
    if [ -z "$launcher" ] || [ ! -x "$launcher" ]; then missing "no Wine launcher for $flavor"; fi
    if [ ! -f "$program" ]; then missing "no $flavor program at $program: build its preset first"; fi
    if [ ! -f "$prefix/.codeshift-recipe" ]; then echo "the Wine prefix was not made"; exit 1; fi
    # A server that outlives each run: runs under a file-size limit must not have to start one
    # (it would crash on the limit), and no run waits for one to start. It ends 30 s after the
    # last run, or at the stop step. (Exit 2: the other suite has started it already.)
    "${wine_env[@]}" "$(server)" -p30 < /dev/null > /dev/null 2>&1
    "${wine_env[@]}" CODESHIFT_LAUNCHER="$launcher" CODESHIFT_PROGRAM="$program" \
        CODESHIFT_FLAVOR="$flavor" "$suite" < /dev/null
    ;;
stop)
    if [ -z "$launcher" ] || [ ! -x "$launcher" ]; then exit 0; fi
    "${wine_env[@]}" "$(server)" -k 2> /dev/null
    for _ in $(seq 50); do
        left="$(prefix_processes)"
        [ -z "$left" ] && exit 0
        sleep 0.2
    done
    echo "processes left behind in $prefix:"
    echo "$left"
    exit 1
    ;;
*)
    echo "unknown action: $action"
    exit 2
    ;;
esac
