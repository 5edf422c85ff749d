#!/usr/bin/env bash
# Installs what building and testing codeshift needs on Debian 12 (run as root, or with sudo).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

packages=(cmake make g++ libgtest-dev googletest clang-format
          g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix)
# Extra lists (Wine, benchmarks, fuzzing) live beside this script as deps-*.txt.
here="$(cd "$(dirname "$0")" && pwd)"
for list in "$here"/deps-*.txt; do
  [ -e "$list" ] || continue
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
