#!/usr/bin/env bash
# The Windows programs under Wine, for CTest:
#   harness.sh prefix PREFIX LAUNCHER                 make the Wine prefix unless it is ready,
#                                                     and start its server
#   harness.sh suite  PREFIX LAUNCHER PROGRAM FLAVOR SUITE
#                                                     run the end-to-end SUITE against PROGRAM
#   harness.sh pages  PREFIX LAUNCHER NATIVE WIN64 WIN32 LAUNCHER32 SOURCE_DIR
#                                                     every code page through all three programs
#   harness.sh stop   PREFIX LAUNCHER                 stop the prefix's Wine server and programs
# A missing launcher or program skips (exit 77), or fails when CODESHIFT_WINDOWS_REQUIRED=1.
# The prefix lives in the build folder, is made once and shared by both programs' runs, whose
# Wine server runs from the prefix step to the stop step.
set -uo pipefail

action="$1"
prefix="$2"
launcher="${3:-}"
here="$(cd "$(dirname "$0")" && pwd)"
required="${CODESHIFT_WINDOWS_REQUIRED:-0}"

# What changes the prefix's making; a prefix made otherwise is made again.
# A prefix made before 32-bit Wine could run has no 32-bit side and starts no 32-bit program.
wow64=no
if /usr/lib/wine/wine --version > /dev/null 2>&1; then wow64=yes; fi
recipe="codeshift wine prefix 1: win64, 32-bit side $wow64, no mono/gecko/menus, viewer.reg $(cksum < "$here/viewer.reg")"

# Every Windows program starts through launch.sh, with a fixed address space layout where the
# system allows it.
fixed=0
if setarch -R true 2> /dev/null; then fixed=1; fi

# No display: nothing may show a window or wait on one. No Mono or Gecko (their installers would
# ask), no desktop menu entries in the user's home, no debug chatter. Wine reads the Linux
# command line and file names in the locale's encoding: UTF-8, as the native build always does.
wine_env=(env -u DISPLAY -u WAYLAND_DISPLAY LC_ALL=C.UTF-8 WINEPREFIX="$prefix" WINEDEBUG=-all
          WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
          CODESHIFT_WINE_LOADER="$launcher" CODESHIFT_WINE_FIXED_LAYOUT=$fixed)
wine=("${wine_env[@]}" "$here/launch.sh")

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
        if tr '\0' '\n' < "$p/environ" 2> /dev/null | grep -qxF "WINEPREFIX=$prefix"; then
            echo "${p#/proc/} $(tr '\0' ' ' < "$p/cmdline" 2> /dev/null)"
        fi
    done
}

# One idle Windows program (cmd.exe waiting on a pipe that never ends) keeps the Wine server and
# its services up from the prefix step to the stop step. Each run then finds them ready, and no
# run ever starts a server itself: one started by a run under a file-size limit would inherit
# that limit and crash.
keep_server() {
    local pipe="$prefix/keeper.fifo"
    rm -f "$pipe"
    mkfifo "$pipe" || exit 1
    "${wine[@]}" cmd.exe /c pause <> "$pipe" > /dev/null 2>&1 &
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
        keep_server
        exit 0
    fi
    started=$SECONDS
    "${wine_env[@]}" "$(server)" -k 2> /dev/null
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    "${wine_env[@]}" WINEARCH=win64 "$here/launch.sh" wineboot --init < /dev/null || exit 1
    # Wine's drive Z: is the root of the Linux file system.
    "${wine[@]}" regedit /S "Z:${here//\//\\}\\viewer.reg" < /dev/null || exit 1
    # The registry reaches the disk when the server ends.
    "${wine_env[@]}" "$(server)" -w
    echo "$recipe" > "$prefix/.codeshift-recipe"
    echo "prefix made in $((SECONDS - started)) s: $prefix"
    keep_server
    ;;
suite)
    program="$4"
    flavor="$5"
    suite="$6"
    if [ -z "$launcher" ] || [ ! -x "$launcher" ]; then missing "no Wine launcher for $flavor"; fi
    if [ ! -f "$program" ]; then missing "no $flavor program at $program: build its preset first"; fi
    # A kernel without 32-bit support (ia32 emulation off) cannot start Wine's 32-bit loader at
    # all. That is the machine's limit, not the program's: no run of this flavor could say
    # anything here, so the suite is skipped, loudly, even where the programs are required.
    if ! "$launcher" --version > /dev/null 2>&1; then
        echo "SKIPPED: this system cannot execute Wine's loader $launcher" \
             "(a kernel without 32-bit support?); the $flavor suite cannot run on this machine"
        exit 77
    fi
    if [ ! -f "$prefix/.codeshift-recipe" ]; then echo "the Wine prefix was not made"; exit 1; fi
    # Wine's own status says nothing of whether the program ran (it ends 0 when it cannot load
    # one): the program must give its own answer, the code of a UTF-8 text recognised (1).
    probe="$(mktemp -d)"
    printf 'caf\303\251\n' > "$probe/probe.txt"
    (cd "$probe" && "${wine[@]}" "$program" probe.txt < /dev/null > /dev/null 2>&1)
    answer=$?
    rm -rf "$probe"
    if [ "$answer" != 1 ]; then
        echo "the $flavor program did not run under Wine: it answered $answer, not 1, for a UTF-8 text"
        exit 1
    fi
    # Windows programs that Wine starts on the runs' behalf (its desktop, the viewer) outlive
    # them and keep their output open: the suite writes to a file, shown when it ends, so that
    # CTest does not wait on those programs for the end of the output.
    log="$(dirname "$prefix")/e2e.$flavor.log"
    "${wine_env[@]}" CODESHIFT_LAUNCHER="$here/launch.sh" CODESHIFT_PROGRAM="$program" \
        CODESHIFT_FLAVOR="$flavor" "$suite" < /dev/null > "$log" 2>&1
    status=$?
    cat "$log"
    exit $status
    ;;
pages)
    native="$4"
    win64="$5"
    win32="$6"
    launcher32="$7"
    for program in "$win64" "$win32"; do
        if [ ! -f "$program" ]; then missing "no Windows program at $program: build its preset first"; fi
    done
    if [ -z "$launcher" ] || [ ! -x "$launcher" ]; then missing "no Wine launcher: the code pages are not compared"; fi
    if [ -z "$launcher32" ] || [ ! -x "$launcher32" ]; then
        if [ "${CODESHIFT_WINE32_REQUIRED:-$required}" = 1 ]; then
            missing "no 32-bit Wine launcher: the code pages are not compared"
        fi
        # same_code_pages.sh says which program it could not start.
        launcher32=/nonexistent/wine32
    fi
    if [ ! -f "$prefix/.codeshift-recipe" ]; then echo "the Wine prefix was not made"; exit 1; fi
    "${wine_env[@]}" bash "$here/same_code_pages.sh" "$8" "$native" "$win64" "$launcher" "$win32" \
        "$launcher32" < /dev/null
    ;;
stop)
    if [ -z "$launcher" ] || [ ! -x "$launcher" ]; then exit 0; fi
    "${wine_env[@]}" "$(server)" -k 2> /dev/null
    rm -f "$prefix/keeper.fifo"
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
