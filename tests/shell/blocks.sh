#!/usr/bin/env bash
# Checks every fenced block of README.md, doc/*.md and the manual's EXAMPLES,
# as a reader would paste it. A block of "$ command" lines and their output
# must print exactly that output and exit 0, unless the next command is
# "echo $?", whose line then gives the status. A recipe runs on a good
# fixture and on a damaged one, and must do there what its text says (the
# expectations are below, by the recipe's name). Shell blocks are those
# tagged sh, shell, bash or console, and untagged ones whose lines begin
# with "$ ". A JavaScript block runs under Node (with --js), and must assert
# what it states with node:assert. Any other block, and one that cannot run
# here, says why in a marker just before it, which covers that block alone:
#   <!-- docs: skip (why) -->        or, in the manual,   .\" docs: skip (why)
# A skipped shell block is still parsed by sh -n, and the presets it names
# must exist. A recipe names itself the same way: <!-- docs: recipe NAME -->.
# Every relative link of the Markdown pages must reach a file and heading,
# and the figures must be those bench/figures writes from bench/results/.
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
        !inside && !/^\.RS/ { marker = "" }
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
    dump-every/damaged) [ "$status" != 0 ] && [ -z "$(find . -name '*.kvdsp')" ] && grep -q '^c\.srt' <<<"$output" ;;
    failing/good) [ "$status" = 0 ] && [ -z "$output" ] ;;
    failing/damaged) [ "$output" = "containers/bad.srt: error: check SRT block header failed" ] ;;
    parallel/good)
        [ "$status" = 0 ] && cmp -s containers/good.srt.txt <(srtx containers/good.srt) &&
            cmp -s containers/other.srt.txt <(srtx containers/other.srt) ;;
    parallel/damaged)
        [ "$status" = 123 ] && [ "$output" = "containers/bad.srt: error: check SRT block header failed" ] ;;
    words/good) [ "$status" = 0 ] && [ "$(paste -sd' ' <<<"$output")" = "0 3 6" ] ;;
    words/damaged) [ "$status" != 0 ] ;;
    *) echo "no expectations for recipe $name"; return 1 ;;
    esac
}

# A "$ command" block: each command's output, and its status, which is 0
# unless the next command is "echo $?" (whose shown line is then compared).
transcript() { # folder text
    local commands=() outputs=() line k status=0 output
    while IFS= read -r line; do
        if [[ "$line" == '$ '* ]]; then
            commands+=("${line#'$ '}")
            outputs+=('')
        else
            outputs[${#outputs[@]} - 1]+=$line$'\n'
        fi
    done < <(printf '%s' "$2")
    for k in "${!commands[@]}"; do
        if [ "${commands[$k]}" = 'echo $?' ]; then
            [ "$status" = "${outputs[$k]%$'\n'}" ] || { fail "status $status, where the block shows ${outputs[$k]%$'\n'}"; return; }
            status=0
            continue
        fi
        [ "$status" = 0 ] || { fail "\"${commands[$k - 1]}\" exited with status $status"; return; }
        status=0
        output=$(cd "$1" && sh -c "${commands[$k]}" 2>&1) || status=$?
        [ "$output" = "${outputs[$k]%$'\n'}" ] || { fail "\"${commands[$k]}\" printed what the block does not show: $output"; return; }
    done
    [ "$status" = 0 ] || fail "\"${commands[-1]}\" exited with status $status"
}

# A block that is not run: its shell text still parses, and every preset it
# names is one of CMakePresets.json's, of the kind its command takes.
checkSkipped() { # tag text
    local text=$2
    [[ -z "$1" && "$text" == '$ '* ]] && text=$(sed -n 's/^\$ //p' <<<"$text")
    if [[ "$1" =~ ^(sh|shell|bash|console|man)$ || ( -z "$1" && "$2" == '$ '* ) ]]; then
        sh -n <<<"$text" 2>/dev/null || { fail "a skipped shell block that sh -n does not parse"; return; }
    fi
    node -e '
        const presets = require(process.argv[1]);
        const kinds = { workflow: "workflowPresets", build: "buildPresets", test: "testPresets", configure: "configurePresets" };
        let bad = 0;
        for (const [, ctest, kind, name] of process.argv[2].matchAll(/(ctest|cmake)\s+(?:(--workflow|--build)\s+)?--preset[ =]([\w-]+)/g)) {
            const list = kinds[ctest === "ctest" ? "test" : kind ? kind.slice(2) : "configure"];
            (presets[list] || []).some((p) => p.name === name) || (bad = 1, console.log(`no ${list} entry named ${name}`));
        }
        process.exit(bad);' "$root/CMakePresets.json" "$text" || fail "it names a preset CMakePresets.json does not have"
}

while IFS= read -r -d '' record; do
    head=${record%%$'\n'*}
    text=${record#*$'\n'}
    IFS=$'\037' read -r where marker tag <<<"$head"
    # Each mode checks its own blocks: the JavaScript ones with --js, the rest without.
    if [ -n "$js" ]; then
        [ "$tag" = js ] || continue
    elif [ "$tag" = js ] && [[ "$marker" != 'skip ('*')' ]]; then
        continue
    fi
    before=$failures
    if [[ "$marker" == 'skip ('*')' ]]; then
        why=${marker:6:${#marker}-7}
        skipped[$why]=$((${skipped[$why]:-0} + 1))
        checkSkipped "$tag" "$text"
        continue
    fi
    run=$work/$((passed + failures))
    if [ -n "$js" ]; then
        # (The example as c.srt with its c02.ssd: no builder runs here.)
        mkdir -p "$run/node_modules"
        cp "$root/examples/example.srt" "$run/c.srt"
        cp "$root/examples/example02.ssd" "$run/c02.ssd"
        ln -s "$tree" "$run/node_modules/srtx"
        printf '%s' "$text" >"$run/block.mjs"
        if ! grep -q "from 'node:assert" <<<"$text"; then
            fail "a JavaScript block that asserts nothing of what it states"
        elif ! (cd "$run" && timeout 60 node block.mjs >/dev/null); then
            fail "the JavaScript block failed"
        fi
    elif [[ "$tag" =~ ^(sh|shell|bash|console|man)?$ && "$text" == '$ '* ]]; then
        fixture "$run" good
        transcript "$run" "$text"
    elif [[ "$tag" =~ ^(sh|shell|bash|man)$ && "$marker" == recipe* ]]; then
        name=${marker#recipe }
        shell=sh
        [ "$tag" = bash ] && shell=bash
        for kind in good damaged; do
            fixture "$run.$kind" "$kind"
            status=0
            output=$(cd "$run.$kind" && $shell -c "$text" 2>&1) || status=$?
            (cd "$run.$kind" && recipe "$name" "$kind" "$status" "$output") ||
                fail "recipe $name on the $kind fixture: status $status, output: $output"
        done
    else
        fail "a block tagged '${tag}' that is neither run nor marked with why not"
    fi
    [ "$failures" != "$before" ] || passed=$((passed + 1))
done < <(blocks)

# The figures are what the newest results file under bench/ says, and every
# link between the pages reaches its file and heading.
if [ -z "$js" ]; then
    where=bench/figures
    node "$root/bench/figures" --check || fail "the figures are not bench/figures' own"
    where=links
    node "$root/tests/shell/links.js" "$root" || fail "a link reaches no file or heading"
fi

for why in "${!skipped[@]}"; do
    echo "skipped ${skipped[$why]}: $why"
done
echo "docs: $passed passed, $failures failed"
[ "$failures" = 0 ]
