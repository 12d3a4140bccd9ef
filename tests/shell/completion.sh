#!/usr/bin/env bash
# Checks the installed bash completion by calling its function with COMP_WORDS
# and COMP_CWORD set, as bash does.
#   tests/shell/completion.sh PREFIX     (where cmake --install put srtx)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
prefix=$(cd "${1:?usage: tests/shell/completion.sh PREFIX}" && pwd)
# shellcheck source=/dev/null
source "$prefix/share/bash-completion/completions/srtx"
srtx=$prefix/bin/srtx

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$root/examples/example.srt" "$root/examples/example02.ssd" .
cp example.srt 'my file.srt'
touch notes.txt other.srt UP.SRT
mkdir folder.d

offered() { # words... (the last is the one being completed)
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _srtx
    printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd' '
}

failed=0
check() { # name expected actual
    if [ "$2" = "$3" ]; then
        echo "ok: $1"
    else
        echo "FAILED: $1: expected '$2', offered '$3'"
        failed=$((failed + 1))
    fi
}

check "first argument offers .srt files in any case and directories" \
    "UP.SRT example.srt folder.d my file.srt other.srt" "$(offered "$srtx" '')"
check "first argument completes a prefix" "example.srt" "$(offered "$srtx" ex)"
check "second argument offers the container's stream numbers" "0 1 2" "$(offered "$srtx" example.srt '')"
check "second argument completes a prefix of them" "1" "$(offered "$srtx" example.srt 1)"
check "second argument after a name with an escaped space" "0 1 2" "$(offered "$srtx" 'my\ file.srt' '')"
check "second argument after a quoted name" "0 1 2" "$(offered "$srtx" '"my file.srt"' '')"
check "second argument after a name in single quotes" "0 1 2" "$(offered "$srtx" "'my file.srt'" '')"
check "no stream numbers for a container that is not there" "" "$(offered "$srtx" none.srt '')"
check "third argument offers .ssd files and directories" "example02.ssd folder.d" "$(offered "$srtx" example.srt 0 '')"
check "fourth argument offers any path" "UP.SRT example.srt example02.ssd folder.d my file.srt notes.txt other.srt" \
    "$(offered "$srtx" example.srt 0 example02.ssd '')"
check "nothing past the fourth argument" "" "$(offered "$srtx" example.srt 0 example02.ssd out '')"

echo "$((11 - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
