#!/usr/bin/env bash
# Seeds for fuzz_package: small packages made by vlpack in every directory
# form. Called by fuzz/run with VLPACK (the tool), SOURCE (the repository)
# and OUT (the corpus folder).
set -euo pipefail
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
src="$work/src"
mkdir -p "$src/pics"
cp "$SOURCE/samples/sample/RUNTIME.PUB" "$src/"
cp "$SOURCE/samples/sample/pics/logo.bmp" "$src/pics/"
printf 'raw text' > "$src/note.jpg"
: > "$src/empty.dat"
printf 'font' > "$src/face.ttf"
printf 'HOSTHOSTHOST' > "$work/host"
n=0
seed() { n=$((n + 1)); "$VLPACK" build -o "$OUT/seed-$n.pkg" "$@" "$src" >/dev/null; }
seed
seed --host "$work/host" --name note.jpg='C:\pics\a.jpg' --embedded face.ttf
seed --run-mode 3 --start-page 2 --debug-folder 'C:\dbg' --icon-file 'C:\a.ico'
seed --kind screensaver --preview pics/logo.bmp --splash pics/logo.bmp
seed --display 800x600x16 --single-instance --kind window
seed --chained --run-mode 1
seed --level 0 --name note.jpg=same --name empty.dat=same
# Seeds with the directory uncompressed (see fuzz_package.cpp).
if [[ -n "${FUZZER:-}" ]]; then VL_FUZZ_WRITE_SEEDS="$OUT" "$FUZZER"; fi
