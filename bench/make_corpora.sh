#!/usr/bin/env bash
# Running text for dictionary_mode_report from Debian's packaged text on
# this machine: English from the documentation's README files, Russian from
# the translated messages of the gettext catalogues. Each language's files
# are dealt alternately into two sets, so what is looked at while working on
# the correction is never what is reported.
# Usage: make_corpora.sh OUTPUT_FOLDER   (writes {english,russian}-{tuning,report}.txt)
set -euo pipefail
out=${1:?output folder}
mkdir -p "$out"
: > "$out/english-tuning.txt"
: > "$out/english-report.txt"
: > "$out/russian-tuning.txt"
: > "$out/russian-report.txt"

index=0
while IFS= read -r file; do
  set=$([ $((index % 2)) -eq 0 ] && echo tuning || echo report)
  zcat -f "$file" 2>/dev/null >> "$out/english-$set.txt" || true
  index=$((index + 1))
done < <(find /usr/share/doc -type f \( -name 'README' -o -name 'README.gz' -o -name 'README.md' \
           -o -name 'README.md.gz' -o -name 'README.Debian' -o -name 'README.Debian.gz' \) | LC_ALL=C sort)

index=0
while IFS= read -r file; do
  set=$([ $((index % 2)) -eq 0 ] && echo tuning || echo report)
  # The translations only: msgstr lines and their continuations.
  msgunfmt "$file" 2>/dev/null | awk '/^msgstr/ {on = 1} /^msgid/ {on = 0} on' \
    >> "$out/russian-$set.txt" || true
  index=$((index + 1))
done < <(find /usr/share/locale/ru/LC_MESSAGES -name '*.mo' | LC_ALL=C sort)
wc -w "$out"/*.txt
