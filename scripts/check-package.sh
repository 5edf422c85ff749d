#!/usr/bin/env bash
# Installs the Debian package on this machine, checks the program, its manual page and its
# guide as a user finds them, and removes it again, checking that nothing is left:
#   check-package.sh codeshift_VERSION_amd64.deb VERSION
# Needs root (or sudo); without either the check is skipped.
set -euo pipefail
deb="$1"
version="$2"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo > /dev/null || ! sudo -n true 2> /dev/null; then
    echo "skipped: installing the package needs root"
    exit 0
  fi
  SUDO="sudo"
fi
if dpkg-query -W -f='${Status}' codeshift 2> /dev/null | grep -q "install ok installed"; then
  echo "codeshift is installed on this machine already: not touching it"
  exit 1
fi

fail() {
  echo "package check: $1"
  $SUDO dpkg --purge codeshift > /dev/null 2>&1 || true
  exit 1
}

$SUDO dpkg -i "$deb" > /dev/null
files="$(dpkg -L codeshift)"
[ "$(command -v codeshift)" = /usr/bin/codeshift ] || fail "codeshift is not /usr/bin/codeshift"
[ "$(codeshift --version)" = "codeshift $version" ] || fail "--version says $(codeshift --version)"
[ "$(man -w codeshift)" = /usr/share/man/man1/codeshift.1.gz ] || fail "man -w codeshift: $(man -w codeshift)"
# A usage error names the installed guide (outside a desktop session, so no browser opens).
message="$(env -u DISPLAY -u WAYLAND_DISPLAY codeshift 2>&1 > /dev/null)" &&
  fail "a run without arguments succeeded"
case "$message" in
  *"the full guide is /usr/share/doc/codeshift/readme.html;"*) ;;
  *) fail "the usage message does not name the installed guide: $message" ;;
esac
work="$(mktemp -d)"
printf 'caf\xe9\n' > "$work/in.txt"
codeshift -A1252 -U8- "$work/in.txt" "$work/out.txt" || fail "a conversion failed"
[ "$(cat "$work/out.txt")" = "café" ] || fail "the conversion wrote $(cat "$work/out.txt")"
rm -rf "$work"

$SUDO dpkg --purge codeshift > /dev/null
left=""
while read -r path; do
  case "$path" in
    /usr|/usr/bin|/usr/share|/usr/share/doc|/usr/share/man|/usr/share/man/man1|/.) continue ;;
    /usr/share/lintian|/usr/share/lintian/overrides) continue ;;
  esac
  [ -e "$path" ] && left="$left $path"
done <<< "$files"
[ -z "$left" ] || fail "left behind after removal:$left"
dpkg-query -W codeshift > /dev/null 2>&1 && fail "the package is still known to dpkg"
echo "package $deb: installed, ran, removed cleanly"
