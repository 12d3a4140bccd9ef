# Bash completion for srtx.
#   srtx CONTAINER.srt [STREAM DATA.ssd OUTPUT]
# The first argument completes .srt files, the second the stream numbers of
# the container already typed (from srtx's own listing), the third .ssd files,
# the fourth any path. Directories are offered wherever files are.

# Offers the files under the word being completed whose names end in .EXT,
# and directories.
_srtx_files() {
    local ext=$1 cur=$2 IFS=$'\n'
    compopt -o filenames 2>/dev/null || true
    COMPREPLY=($(compgen -d -- "$cur") $(compgen -f -X "!*.$ext" -- "$cur"))
}

_srtx() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    COMPREPLY=()
    case $COMP_CWORD in
    1) _srtx_files srt "$cur" ;;
    2)
        local container=${COMP_WORDS[1]} count
        [[ $container == "~/"* ]] && container=$HOME/${container#"~/"}
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
