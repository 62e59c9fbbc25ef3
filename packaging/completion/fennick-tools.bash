# Bash completion for fennick-merge and fennick-info: options (read from the tool's own --help, so that they
# never fall behind it), the values of options whose values are fixed, and layer files for arguments.

# Layer files the tools read, and folders to descend into.
_fennick_layers() {
    local IFS=$'\n'
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -d -- "$1") $(compgen -f -X '!*.@(shp|SHP|tab|TAB)' -- "$1"))
}

_fennick_files() {
    local IFS=$'\n' pattern=$2
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -d -- "$1") $(compgen -f -X "!*.@($pattern)" -- "$1"))
}

_fennick() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local tool=${COMP_WORDS[0]}
    case $prev in
        -o | --output) _fennick_files "$cur" 'shp|SHP'; return ;;
        --wkt) _fennick_files "$cur" 'prj|PRJ|tpj|TPJ|wkt|WKT'; return ;;
        --where | --source-field | --epsg) return ;; # free values
    esac
    if [[ $cur == -* ]]; then
        local options
        options=$("$tool" --help 2>/dev/null | grep -oE -- '(^|[ [])--?[a-zA-Z][a-zA-Z-]*' | tr -d ' [' | sort -u)
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    _fennick_layers "$cur"
}

# The patterns above need extglob, which bash-completion turns on.
complete -F _fennick fennick-merge fennick-info
