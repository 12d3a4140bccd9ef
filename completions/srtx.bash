# Bash completion for srtx.
#   srtx CONTAINER.srt [STREAM DATA.ssd OUTPUT]
# The first argument completes .srt files (any letter case), the second the stream numbers of
# the container already typed (from srtx's own listing), the third .ssd files,
# the fourth any path. Directories are offered wherever files are.

# Offers the files under the word being completed whose names end in .EXT in
# any letter case, and directories.
_srtx_files() {
    local ext=$1 cur=$2 IFS=$'\n' glob='' i c
    for ((i = 0; i < ${#ext}; i++)); do
        c=${ext:i:1}
        glob+="[${c,,}${c^^}]"
    done
    compopt -o filenames 2>/dev/null || true
    COMPREPLY=($(compgen -d -- "$cur") $(compgen -f -X "!*.$glob" -- "$cur"))
}

# Prints the name a word stands for as typed: quotes and backslashes removed,
# a leading ~/ made the home folder. Nothing in the word is run.
_srtx_dequote() {
    local word=$1 name='' quote='' c i
    for ((i = 0; i < ${#word}; i++)); do
        c=${word:i:1}
        if [[ $quote == "'" ]]; then
            [[ $c == "'" ]] && quote='' || name+=$c
        elif [[ $c == '\' ]]; then
            i=$((i + 1))
            c=${word:i:1}
            # Within double quotes a backslash escapes only $ ` " and itself.
            [[ $quote == '"' && $c != [\$\`\"\\] ]] && name+='\'
            name+=$c
        elif [[ $c == '"' ]]; then
            [[ $quote == '"' ]] && quote='' || quote='"'
        elif [[ $c == "'" && -z $quote ]]; then
            quote="'"
        else
            name+=$c
        fi
    done
    [[ $word == "~/"* ]] && name=$HOME/${name#"~/"}
    printf '%s' "$name"
}

_srtx() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    COMPREPLY=()
    case $COMP_CWORD in
    1) _srtx_files srt "$cur" ;;
    2)
        local container count
        container=$(_srtx_dequote "${COMP_WORDS[1]}")
        [ -f "$container" ] || return 0
        # The second line of a listing is "N streams"; the walk may stop later
        # at damage, but the count is printed first.
        count=$("${COMP_WORDS[0]}" "$container" 2>/dev/null | awk 'NR == 2 && $2 == "streams" { print $1; exit }')
        [[ $count =~ ^[0-9]+$ ]] && ((count > 0)) || return 0
        ((count > 100000)) && count=100000
        COMPREPLY=($(compgen -W "$(seq 0 $((count - 1)))" -- "$cur"))
        ;;
    3) _srtx_files ssd "$cur" ;;
    4)
        local IFS=$'\n'
        compopt -o filenames 2>/dev/null || true
        COMPREPLY=($(compgen -f -- "$cur"))
        ;;
    esac
}

complete -F _srtx srtx
