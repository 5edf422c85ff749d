#!/usr/bin/env bash
# No file under src/ includes a file of a room above its own. The rooms, bottom to top:
# platform; state; cmdline, input, transcode and log, which may include one another; run, which
# nothing includes. A room not placed here fails too, so that a new one is given its place.
#   check_rooms.sh SOURCE_DIR
set -uo pipefail
src="$1/src"
level() {
  case "$1" in
    platform) echo 0 ;;
    state) echo 1 ;;
    cmdline | input | transcode | log) echo 2 ;;
    run) echo 3 ;;
    *) echo "" ;;
  esac
}
failed=0
checked=0
while IFS= read -r file; do
  room="${file#"$src"/}"
  room="${room%%/*}"
  own="$(level "$room")"
  if [ -z "$own" ]; then
    echo "src/$room is no room of the list: $file"
    failed=1
    continue
  fi
  while IFS= read -r included; do
    other="${included%%/*}"
    theirs="$(level "$other")"
    if [ -z "$theirs" ] || [ "$theirs" -gt "$own" ]; then
      echo "${file#"$1"/} ($room) includes src/$included"
      failed=1
    fi
  done < <(sed -n 's|^[[:space:]]*#[[:space:]]*include[[:space:]]*"src/\([^"]*\)".*|\1|p' "$file")
  checked=$((checked + 1))
done < <(find "$src" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.inc' \))
[ "$checked" -gt 100 ] || { echo "only $checked files were read under $src"; failed=1; }
exit "$failed"
