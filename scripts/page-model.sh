#!/usr/bin/env bash
# The page guesser's model, made afresh from the training text (scripts/deps-model.txt):
#   bash scripts/page-model.sh           rewrite src/input/page_model.bin
#   bash scripts/page-model.sh --check   fail when a fresh one differs from that file
set -euo pipefail
cd "$(dirname "$0")/.."

data=src/input/page_model.bin
fresh="$(mktemp)"
trap 'rm -f "$fresh"' EXIT
python3 tools/page_model/make_model.py "$fresh" 2> /dev/null

if [ "${1:-}" = --check ]; then
  if ! cmp -s "$fresh" "$data"; then
    echo "page model: $data differs from what the training text makes now"
    exit 1
  fi
  echo "page model: $data is what the training text makes"
else
  cp "$fresh" "$data"
  echo "page model: wrote $data ($(stat -c %s "$data") bytes)"
fi
