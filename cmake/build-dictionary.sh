#!/bin/sh
# Expands a hunspell dictionary into every word form it accepts and stores
# them as a trie. Usage: build-dictionary.sh DIC AFF CHARSET OUTPUT
#
# unmunch silently drops forms whose affixes it cannot match byte-wise in
# UTF-8, so a dictionary whose letters fit a single-byte charset is expanded
# in that charset and converted back.
set -eu
dic=$1 aff=$2 charset=$3 output=$4 extra=${5:-/dev/null}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ "$charset" = UTF-8 ]; then
  cp "$dic" "$work/words.dic"
  cp "$aff" "$work/words.aff"
else
  iconv -f UTF-8 -t "$charset" "$dic" > "$work/words.dic"
  sed "s/^SET UTF-8/SET $charset/" "$aff" | iconv -f UTF-8 -t "$charset" > "$work/words.aff"
fi
{
  unmunch "$work/words.dic" "$work/words.aff" 2>/dev/null | iconv -f "$charset" -t UTF-8
  cat "$extra"
} | LC_ALL=C sort -u > "$work/words.txt"
marisa-build -o "$work/words.marisa" "$work/words.txt" 2>/dev/null
mv "$work/words.marisa" "$output"
