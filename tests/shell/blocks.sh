#!/usr/bin/env bash
# Runs every shell block of README.md, doc/*.md and the manual's EXAMPLES,
# as a reader would paste it: a block of "$ command" lines and their output
# must print exactly that output; a recipe runs on a good fixture and on a
# damaged one, and must do there what its text says (the expectations are
# below, by the recipe's name). A shell block is a fenced block tagged sh,
# shell or console, or an untagged one whose lines begin with "$ ". A block
# that cannot run here says why in a marker just before it:
#   <!-- docs: skip (why) -->        or, in the manual,   .\" docs: skip (why)
# and a recipe names itself the same way: <!-- docs: recipe NAME -->.
# With --js, the JavaScript blocks run under Node instead, the npm package's
# folder as the module 'srtx'.
# README's figures must be those bench/figures writes from bench/results/.
#   tests/shell/blocks.sh BUILD_DIR        (a build with srtx and make-container)
#   tests/shell/blocks.sh --js NPM_FOLDER
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
js=
[ "${1:-}" = --js ] && { js=1; shift; }
tree=$(cd "${1:?usage: tests/shell/blocks.sh [--js] BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ -n "$js" ] || export PATH=$tree:$PATH

# The blocks, one record each: where, marker and tag apart by \037, a line feed, the
# text; records end in NUL. Markdown first, then the manual's EXAMPLES, read
# with the few escapes it uses.
blocks() {
    for file in "$root"/README.md "$root"/doc/*.md; do
        awk -v file="${file#"$root"/}" '
            /^```/ && !inside { inside = 1; tag = substr($0, 4); start = NR; text = ""; next }
            /^```$/ && inside { inside = 0; printf "%s:%d\037%s\037%s\n%s%c", file, start, marker, tag, text, 0; marker = ""; next }
            inside { text = text $0 "\n"; next }
            /^<!-- docs: .* -->$/ { marker = substr($0, 12, length($0) - 15); next }
            NF { marker = "" }' "$file"
    done
    awk '
        /^\.SH / { examples = ($0 == ".SH EXAMPLES") }
        !examples { next }
        /^\.\\" docs: / { marker = substr($0, 11); next }
        /^\.nf$/ { inside = 1; start = NR; text = ""; next }
        /^\.fi$/ && inside { inside = 0; printf "doc/srtx.1:%d\037%s\037man\n%s%c", start, marker, text, 0; marker = ""; next }
        inside {
            gsub(/\\\(aq/, "\047"); gsub(/\\-/, "-"); gsub(/\\e/, "\\")
            text = text $0 "\n"
        }' "$root/doc/srtx.1"
}

# Fixtures: the example and its .ssd file, a container of three streams with
# its three, and a folder of two containers; in the damaged one the
# container's SRT block header is broken (its listing prints "3 streams",
# then fails, while its dumps would succeed), and the folder holds a copy.
fixture() { # folder good|damaged
    mkdir -p "$1/examples" "$1/containers"
    cp "$root"/examples/example.srt "$root"/examples/example02.ssd "$1/examples/"
    (cd "$1" && make-container streams 3 c.srt &&
        for i in 0 1 2; do make-container ssd $((100 + i)) "c0$i.ssd"; done &&
        make-container streams 5 containers/good.srt && make-container streams 2 containers/other.srt)
    if [ "$2" = damaged ]; then
        local srt
        srt=$(od -An -tu1 -j8 -N4 "$1/c.srt" | awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4 }')
        printf 'X' | dd of="$1/c.srt" bs=1 seek="$srt" conv=notrunc status=none
        cp "$1/c.srt" "$1/containers/bad.srt"
    fi
}

failures=0
passed=0
declare -A skipped
fail() { echo "$where: $*"; failures=$((failures + 1)); }

# What each recipe must do: on the good fixture, then on the damaged one;
# each check runs in the fixture with the recipe's status and output.
recipe() { # name fixture status output
    local name=$1 kind=$2 status=$3 output=$4
    case "$name/$kind" in
    dump-every/good)
        [ "$status" = 0 ] || return 1
        for i in 0 1 2; do
            make-container dsp-entry 3 "$i" entry
            cmp -s <(cat entry "c0$i.ssd") "c0$i.kvdsp" || return 1
        done ;;
    dump-every/damaged) [ "$status" != 0 ] && [ -z "$(find . -name '*.kvdsp')" ] ;;
    failing/good) [ "$status" = 0 ] && [ -z "$output" ] ;;
    failing/damaged) [ "$output" = "containers/bad.srt: error: check SRT block header failed" ] ;;
    parallel/good)
        [ "$status" = 0 ] && cmp -s containers/good.srt.txt <(srtx containers/good.srt) &&
            cmp -s containers/other.srt.txt <(srtx containers/other.srt) ;;
    parallel/damaged) [ "$status" = 123 ] ;;
    words/good) [ "$status" = 0 ] && [ "$(paste -sd' ' <<<"$output")" = "0 3 6" ] ;;
    words/damaged) [ "$status" != 0 ] ;;
    *) echo "no expectations for recipe $name"; return 1 ;;
    esac
}

while IFS= read -r -d '' record; do
    head=${record%%$'\n'*}
    text=${record#*$'\n'}
    IFS=$'\037' read -r where marker tag <<<"$head"
    if [[ "$marker" == 'skip ('*')' ]]; then
        why=${marker:6:${#marker}-7}
        skipped[$why]=$((${skipped[$why]:-0} + 1))
        continue
    fi
    if [ -n "$js" ]; then
        [ "$tag" = js ] || continue
    elif ! [[ "$tag" == sh || "$tag" == shell || "$tag" == console || "$tag" == man ||
              ( -z "$tag" && "$text" == '$ '* ) ]]; then
        continue
    fi
    run=$work/$((passed + failures))
    before=$failures
    if [ -n "$js" ]; then
        # (The example as c.srt with its c02.ssd: no builder runs here.)
        mkdir -p "$run/node_modules"
        cp "$root/examples/example.srt" "$run/c.srt"
        cp "$root/examples/example02.ssd" "$run/c02.ssd"
        ln -s "$tree" "$run/node_modules/srtx"
        printf '%s' "$text" >"$run/block.mjs"
        (cd "$run" && node block.mjs >/dev/null) || { fail "the JavaScript block failed"; continue; }
    elif [[ "$text" == '$ '* ]]; then
        fixture "$run" good
        # Each "$ command" and the lines after it up to the next: its output.
        expected='' command='' ok=1
        while IFS= read -r line; do
            if [[ "$line" == '$ '* ]]; then
                if [ -n "$command" ] && [ "$(cd "$run" && sh -c "$command" 2>&1)" != "${expected%$'\n'}" ]; then
                    ok=0
                fi
                command=${line#'$ '} expected=''
            else
                expected+=$line$'\n'
            fi
        done < <(printf '%s' "$text")
        [ "$(cd "$run" && sh -c "$command" 2>&1)" = "${expected%$'\n'}" ] || ok=0
        [ $ok = 1 ] || { fail "a command's output is not what the block shows"; continue; }
    elif [[ "$marker" == recipe* ]]; then
        name=${marker#recipe }
        for kind in good damaged; do
            fixture "$run.$kind" "$kind"
            status=0
            output=$(cd "$run.$kind" && sh -c "$text" 2>/dev/null) || status=$?
            (cd "$run.$kind" && recipe "$name" "$kind" "$status" "$output") ||
                fail "recipe $name on the $kind fixture: status $status, output: $output"
        done
    else
        fail "a shell block with no output shown, no recipe name and no skip marker"
        continue
    fi
    [ "$failures" != "$before" ] || passed=$((passed + 1))
done < <(blocks)

# README's figures are what the newest results file under bench/ says.
if [ -z "$js" ]; then
    where=README.md
    node "$root/bench/figures" --check || fail "its figures are not bench/figures' own"
fi

for why in "${!skipped[@]}"; do
    echo "skipped ${skipped[$why]}: $why"
done
echo "docs: $passed passed, $failures failed"
[ "$failures" = 0 ]
