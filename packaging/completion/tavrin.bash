# bash completion for Tavrin and Tavrin-summary.
#
# The options come from the program's own --help, which both programs write from their one
# table of options: an option added to a table is completed without an edit here. What is
# written here is only which values an option's value may take.

# The options of `program`, one "name value" line each (the value's name empty for a flag), read
# from the entries of its --help: lines "  --name VALUE  help" or "  -h, -?  help".
_tavrin_options() {
    "$1" --help 2>/dev/null | awk '
        /^  -/ {
            term = substr($0, 3)
            sub(/  .*/, "", term)
            n = split(term, words, /,? +/)
            value = ""
            for (i = 1; i <= n; i++) if (words[i] !~ /^-/) value = words[i]
            for (i = 1; i <= n; i++) if (words[i] ~ /^-/) print words[i], value
        }'
}

# `cur` completed as a comma-separated list whose entries are chosen from the words of
# `choices`; with `once`, an entry already in the list is not offered again.
_tavrin_list() {
    local cur=$1 choices=$2 once=$3
    local head= last=$cur
    if [[ $cur == *,* ]]; then
        head=${cur%,*},
        last=${cur##*,}
    fi
    local choice used
    for choice in $choices; do
        if [[ -n $once ]]; then
            used=",${head}"
            [[ $used == *",$choice,"* ]] && continue
        fi
        [[ $choice == "$last"* ]] && COMPREPLY+=("$head$choice")
    done
    # A list goes on after a comma: no blank after a completed entry.
    compopt -o nospace 2>/dev/null
}

# The values of `option` that start with `cur`, into COMPREPLY. Options whose value is free
# (a number, a name) complete nothing.
_tavrin_values() {
    local option=$1 cur=$2
    case $option in
        --root) _tavrin_list "$cur" "midpoint given" "" ;;
        --threads) mapfile -t COMPREPLY < <(compgen -W "auto" -- "$cur") ;;
        --by) _tavrin_list "$cur" "label target file" once ;;
        --support-attribute) mapfile -t COMPREPLY < <(compgen -W "prob posterior B" -- "$cur") ;;
        --draw | --pictures)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -d -- "$cur")
            ;;
        --groupFile | --svg | --html)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            ;;
    esac
}

_tavrin() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local previous=${COMP_WORDS[COMP_CWORD - 1]}
    local program=${COMP_WORDS[0]/#\~/$HOME}
    COMPREPLY=()

    local -A takes_value=()
    local name value
    while read -r name value; do
        [[ -n $name ]] && takes_value[$name]=$value
    done < <(_tavrin_options "$program")

    if ((COMP_CWORD > 1)) && [[ -n $previous && -n ${takes_value[$previous]} ]]; then
        _tavrin_values "$previous" "$cur"
        return 0
    fi
    # Tavrin-summary also takes --name=VALUE.
    if [[ $cur == --*=* && -n ${takes_value[${cur%%=*}]} ]]; then
        local option=${cur%%=*}
        _tavrin_values "$option" "${cur#*=}"
        COMPREPLY=("${COMPREPLY[@]/#/$option=}")
        return 0
    fi
    if [[ $cur == -* ]]; then
        # Each option at most once on a line.
        local given=" ${COMP_WORDS[*]:1:COMP_CWORD-1} "
        for name in "${!takes_value[@]}"; do
            [[ $given == *" $name "* ]] && continue
            [[ $name == "$cur"* ]] && COMPREPLY+=("$name")
        done
        mapfile -t COMPREPLY < <(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort)
        [[ ${#COMPREPLY[@]} -eq 1 && -z ${COMPREPLY[0]} ]] && COMPREPLY=()
        return 0
    fi
    # Tree files, reports, a search prefix: the files of the folder.
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
}

complete -F _tavrin Tavrin Tavrin-summary
