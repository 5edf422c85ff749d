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
# The 32-bit packages last: they may need the recipe below.
ordered=()
for p in "${missing[@]}"; do case "$p" in *:i386) ;; *) ordered+=("$p") ;; esac; done
for p in "${missing[@]}"; do case "$p" in *:i386) ordered+=("$p") ;; esac; done
missing=("${ordered[@]}")

# Some 64-bit libraries on a Debian machine come from the security archive, which the mirror
# carries for amd64 only: their i386 twins cannot match, and a plain install of 32-bit packages
# is refused. With the security archive pinned below the main archive, and every
# "Multi-Arch: same" library the 32-bit packages pull in named at the version its i386 twin has
# (a downgrade where the installed amd64 one came from the security archive), both
# architectures meet at the main archive's version. That moves libraries of the machine, so it
# is done only on a throwaway machine (CI=true); elsewhere the command is printed.
pin=/etc/apt/preferences.d/codeshift-i386
# Whether this kernel starts 32-bit x86 programs at all: a kernel with its IA-32 emulation off
# refuses every one, Wine's 32-bit loader included, and the packages would only cost the time.
kernel_runs_i386() {
  local dir status=0
  command -v as > /dev/null && command -v ld > /dev/null || return 0
  dir="$(mktemp -d)"
  printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' > "$dir/exit.s"
  if as --32 -o "$dir/exit.o" "$dir/exit.s" 2> /dev/null &&
     ld -m elf_i386 -o "$dir/exit" "$dir/exit.o" 2> /dev/null; then
    "$dir/exit" 2> /dev/null || status=$?
  fi
  rm -rf "$dir"
  return $status
}
install_i386() {
  if ! kernel_runs_i386; then
    echo "WARNING: the 32-bit packages ($*) were not installed: this machine's kernel starts no" \
         "32-bit programs (its IA-32 emulation is off), so 32-bit Wine could not run here" >&2
    return 1
  fi
  if [ "${CI:-}" != "true" ]; then
    echo "WARNING: the 32-bit packages ($*) were not installed: their libraries must match the" \
         "64-bit ones, some of which come from the security archive, which has no i386 twins" \
         "here. On a throwaway machine, CI=true bash scripts/install-deps.sh pins that archive" \
         "to priority 100 in $pin and installs them with the matching library versions" >&2
    return 1
  fi
  printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' | $SUDO tee "$pin" > /dev/null
  local closure named=()
  closure="$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts \
               --no-breaks --no-replaces --no-enhances "$@" 2> /dev/null |
             sed -n 's/^\([^ <][^:]*\):i386$/\1/p' | sort -u)"
  local p state
  for p in $closure; do
    state="$(dpkg-query -W -f='${db:Status-Abbrev}|${Multi-Arch}' "$p:amd64" 2> /dev/null || true)"
    case "$state" in ii*'|same') ;; *) continue ;; esac
    named+=("$p")
  done
  local pairs=()
  if [ "${#named[@]}" -gt 0 ]; then
    # One policy call for both architectures of every library, read as "name candidate" lines
    # (the machine's own architecture is named without its suffix).
    local table args=()
    for p in "${named[@]}"; do args+=("$p:amd64" "$p:i386"); done
    table="$(apt-cache policy "${args[@]}" 2> /dev/null |
             awk '/^[^ ]/ { name = $1; sub(/:$/, "", name) } /^  Candidate:/ { print name, $2 }')"
    for p in "${named[@]}"; do
      local v64 v32
      v64="$(awk -v n="$p" '$1 == n || $1 == n ":amd64" { print $2 }' <<< "$table")"
      v32="$(awk -v n="$p:i386" '$1 == n { print $2 }' <<< "$table")"
      if [ -n "$v32" ] && [ "$v32" != "(none)" ] && [ "$v64" != "$v32" ]; then
        pairs+=("$p:amd64=$v32" "$p:i386=$v32")
      fi
    done
  fi
  echo "32-bit packages: security archive pinned to 100; libraries named at their i386 version:" \
       "${pairs[*]:-none}"
  $SUDO apt-get install -y -qq --no-install-recommends --allow-downgrades "$@" "${pairs[@]}"
}
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
  others=()
  for p in "${missing[@]}"; do case "$p" in *:i386) ;; *) others+=("$p") ;; esac; done
  if [ "${#others[@]}" -gt 0 ]; then
    $SUDO apt-get install -y -qq --no-install-recommends "${others[@]}"
  fi
  if [ "${#others[@]}" -lt "${#missing[@]}" ]; then
    install_i386 "${missing[@]:${#others[@]}}" || true
  fi
fi
