#!/usr/bin/env bash
# The manual page renders without a single warning, and it and the guide say the same things:
# every encoding name of the name table is in both, and the tree recipe is the same text in the
# README, the manual page and the guide.
#   check_docs.sh SOURCE_DIR
set -uo pipefail
src="$1"
page="$src/docs/codeshift.1"
guide="$src/docs/readme.html"
failed=0
fail() {
  echo "$1"
  failed=1
}

warnings="$(groff -man -ww -z "$page" 2>&1)"
[ -z "$warnings" ] || fail "groff warns: $warnings"
if command -v man > /dev/null; then
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 > /dev/null)"
  [ -z "$warnings" ] || fail "man warns: $warnings"
fi

# The page as plain text, roff escapes read.
plain="$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e "s/\\\\(aq/'/g" -e 's/\\(ti/~/g' \
             -e 's/\\e/\\/g' "$page")"
names="$(grep -o 'WSTR("[^"]*")' "$src/src/cmdline/name_table.h" | sed 's/WSTR("\(.*\)")/\1/' |
         grep -vx '\*')"
[ "$(wc -l <<< "$names")" -ge 71 ] || fail "the name table was not read"
while read -r name; do
  pattern="$(sed 's/[+.]/\\&/g' <<< "$name")"
  grep -qE "(^|[^A-Za-z0-9+-])$pattern([^A-Za-z0-9+-]|\$)" <<< "$plain" ||
    fail "the manual page does not name the encoding $name"
  grep -qF "<code>$name</code>" "$guide" || fail "the guide does not name the encoding $name"
done <<< "$names"

readme_recipe="$(awk '/<!-- recipe: tree -->/ { on = 1; next }
                      on && /^```sh/ { inside = 1; next }
                      inside && /^```/ { exit }
                      inside' "$src/README.md")"
page_recipe="$(awk '/recipe: tree/ { on = 1; next }
                    on && /^\.EX/ { inside = 1; next }
                    inside && /^\.EE/ { exit }
                    inside' <<< "$plain")"
guide_recipe="$(awk '/<pre id="recipe-tree"><code>/ { on = 1; sub(/.*<code>/, "") }
                     on && /<\/code><\/pre>/ { sub(/<\/code><\/pre>.*/, ""); print; exit }
                     on' "$guide" | sed -e 's/&amp;/\&/g' -e 's/&gt;/>/g' -e 's/&lt;/</g')"
[ -n "$readme_recipe" ] || fail "no tree recipe in README.md"
[ "$page_recipe" = "$readme_recipe" ] ||
  fail "the manual page's tree recipe differs from the README's:"$'\n'"$page_recipe"
[ "$guide_recipe" = "$readme_recipe" ] ||
  fail "the guide's tree recipe differs from the README's:"$'\n'"$guide_recipe"

[ "$failed" = 0 ] && echo "manual page and guide agree; no warnings"
exit "$failed"
