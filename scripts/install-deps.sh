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
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
