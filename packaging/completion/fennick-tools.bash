# Bash completion for fennick-merge and fennick-info: options (read from the tool's own --help, so that they
# never fall behind it), the values of options whose values are fixed, and layer files for arguments.

# Layer files the tools read, and folders to descend into.
_fennick_layers() {
    local IFS=$'\n'
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -d -- "$1") $(compgen -f -X '!*.@(shp|SHP|tab|TAB|gpkg|GPKG|geojson|GEOJSON|fgb|FGB|kml|KML|kmz|KMZ|gml|GML|mif|MIF|csv|CSV|json|JSON|sqlite|SQLITE)' -- "$1"))
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
        --target-crs)
            [[ $cur == EPSG:* ]] && return
            _fennick_files "$cur" 'prj|PRJ'
            COMPREPLY+=($(compgen -W 'EPSG:' -- "$cur"))
            return ;;
        --report) _fennick_files "$cur" 'json|JSON'; return ;;
        --encoding | --input-encoding)
            COMPREPLY=($(compgen -W 'UTF-8 1250 1251 1252 1253 1254 1255 1256 1257 1258 437 850 852 866 874
                ISO-8859-1 ISO-8859-2 ISO-8859-5 ISO-8859-7 ISO-8859-15 932 936 949 950' -- "$cur"))
            return ;;
        --where | --source-field | --epsg | --skip-field | --csv-xy) return ;; # free values
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
