#!/usr/bin/env bash
# Runs every sh recipe of README's Recipes section on generated containers and
# checks what each one leaves behind.
#   tests/shell/recipes.sh BUILD_DIR     (a build with srtx and make-container)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?usage: tests/shell/recipes.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export PATH=$build:$PATH

# The recipes, in order, from the fenced sh blocks between "## Recipes" and the
# next section.
mapfile -d '' recipes < <(awk '
    /^## / { inside = ($0 == "## Recipes") }
    inside && /^```sh$/ { block = ""; taking = 1; next }
    taking && /^```$/ { printf "%s%c", block, 0; taking = 0; next }
    taking { block = block $0 "\n" }' "$root/README.md")
[ "${#recipes[@]}" -eq 4 ] || { echo "expected 4 sh recipes, found ${#recipes[@]}"; exit 1; }

cd "$work"
make-container streams 3 c.srt
for i in 0 1 2; do make-container ssd $((100 + i)) "c0$i.ssd"; done
mkdir containers
make-container streams 5 containers/good.srt
make-container streams 2 containers/other.srt
cp c.srt containers/bad.srt
printf 'X' | dd of=containers/bad.srt bs=1 seek=35 conv=notrunc status=none # SSD magic

fail() { echo "recipe $1: $2"; exit 1; }
run() { sh -c "${recipes[$1]}"; }

run 0 >/dev/null
for i in 0 1 2; do
    make-container dsp-entry 3 "$i" entry
    cmp -s <(cat entry "c0$i.ssd") "c0$i.kvdsp" || fail 1 "c0$i.kvdsp is not stream $i's dump"
done

# A damaged container, whether or not it has a count line: the recipe fails
# and dumps nothing.
for seed in 1 4; do
    mkdir "damaged$seed"
    (cd "damaged$seed" && make-container damaged $seed c.srt &&
        for i in 0 1 2 3 4; do make-container ssd 10 "c0$i.ssd"; done)
    status=0
    (cd "damaged$seed" && run 0 >/dev/null 2>&1) || status=$?
    [ "$status" -ne 0 ] || fail 1 "ended with status 0 on damaged container $seed"
    [ -z "$(find "damaged$seed" -name '*.kvdsp')" ] || fail 1 "dumped streams of damaged container $seed"
done

failures=$(run 1)
[ "$failures" = "containers/bad.srt: error: check SSD block header failed" ] ||
    fail 2 "reported: $failures"

status=0
run 2 2>/dev/null || status=$?
[ "$status" -eq 123 ] || fail 3 "xargs ended with $status, not 123 for the one bad container"
for f in good other; do
    cmp -s containers/$f.srt.txt <(srtx containers/$f.srt) || fail 3 "containers/$f.srt.txt is not its listing"
done

words=$(run 3 | paste -sd' ')
[ "$words" = "0 3 6" ] || fail 4 "words: $words"

echo "4 recipes passed, 0 failed"
