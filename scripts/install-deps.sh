#!/usr/bin/env bash
# Installs what codeshift needs on Debian 12 (run as root, or with sudo). The lists live beside
# this script as deps-NAME.txt:
#   install-deps.sh build         only what building the Linux program needs (the quick start)
#   install-deps.sh               every list: the test suite, the package, Wine, benchmarks,
#                                 fuzzing (scripts/test.sh runs this)
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

here="$(cd "$(dirname "$0")" && pwd)"
lists=()
if [ "$#" -eq 0 ]; then
  lists=("$here"/deps-*.txt)
else
  for name in "$@"; do lists+=("$here/deps-$name.txt"); done
fi

packages=()
for list in "${lists[@]}"; do
  [ -e "$list" ] || { echo "no package list $list"; exit 1; }
  while read -r name; do
    case "$name" in ''|'#'*) ;; *) packages+=("$name") ;; esac
  done < "$list"
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  if printf '%s\n' "${missing[@]}" | grep -q ':i386$'; then
    $SUDO dpkg --add-architecture i386
  fi
  # A mirror caught mid-sync fails one index now and then; the install below still works from the
  # indexes that did come in, and fails plainly if a package is really not to be had.
  for attempt in 1 2 3; do
    if $SUDO apt-get update -qq; then break; fi
    echo "apt-get update failed (attempt $attempt of 3); going on with the indexes it has" >&2
    [ "$attempt" -eq 3 ] || sleep 5
  done
  if ! $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
    # Without a current i386 index the 32-bit libraries cannot match the 64-bit ones already
    # installed. Everything else is still installed; scripts/test.sh says what cannot run.
    others=()
    for p in "${missing[@]}"; do case "$p" in *:i386) ;; *) others+=("$p") ;; esac; done
    [ "${#others[@]}" -lt "${#missing[@]}" ] || exit 1
    echo "WARNING: the 32-bit packages could not be installed from this mirror;" \
         "installing the rest" >&2
    if [ "${#others[@]}" -gt 0 ]; then
      $SUDO apt-get install -y -qq --no-install-recommends "${others[@]}"
    fi
  fi
fi
