#!/usr/bin/env bash
# Copies from a PngSuite folder (png/, bmp/, json/, LICENSE) what the
# PngSuite tests read: every PNG (the damaged "x" ones too), every BMP twin
# and, for each valid PNG, its reference pixels: NAME_to8.json when the suite
# has one (the tests compare 16-bit pictures with that reduction), else
# NAME.json. The JSON arrays are written without blanks; the numbers are
# unchanged.
#   tests/images/data/pngsuite/import.sh SUITE_FOLDER
set -euo pipefail
src="${1:?usage: import.sh SUITE_FOLDER}"
dst="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
rm -rf "$dst/png" "$dst/bmp" "$dst/json"
mkdir -p "$dst/png" "$dst/bmp" "$dst/json"
cp "$src/LICENSE" "$dst/LICENSE"
cp "$src"/png/*.png "$dst/png/"
cp "$src"/bmp/*.bmp "$dst/bmp/"
for f in "$dst"/png/*.png; do
  stem="$(basename "$f" .png)"
  [[ "$stem" == x* ]] && continue
  ref="$src/json/${stem}_to8.json"
  [[ -f "$ref" ]] || ref="$src/json/$stem.json"
  tr -d ' \t\r\n' < "$ref" > "$dst/json/$(basename "$ref")"
  echo >> "$dst/json/$(basename "$ref")"
done
