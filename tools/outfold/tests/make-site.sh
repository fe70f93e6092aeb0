#!/bin/sh
# Makes a small site in a new scratch folder for the tool's tests and prints the folder's path:
#   site/ docs/ (old/, a.html) empty/ images/ (logo.gif) index.html, with site.outfold beside
# it and an empty registry folder for the run.
set -e
d=$(mktemp -d "${TMPDIR:-/tmp}/outfold-tool-XXXXXX")
mkdir -p "$d/site/docs/old" "$d/site/empty" "$d/site/images" "$d/registry"
printf '<html></html>\n' > "$d/site/index.html"
printf 'a\n' > "$d/site/docs/a.html"
printf 'GIF89a' > "$d/site/images/logo.gif"
printf '100 -1 D images/logo.gif\n0 86400 - docs\n' > "$d/site.outfold"
echo "$d"
