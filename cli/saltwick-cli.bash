# bash completion for saltwick-cli: the commands, their options, and the files each takes.

_saltwick_cli()
{
    local current=${COMP_WORDS[COMP_CWORD]}
    local command="" given=0 i
    # The command is the first word that is no option; count the words given after it.
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
        -*) ;;
        *)
            if [[ -z $command ]]; then
                command=${COMP_WORDS[i]}
            else
                given=$((given + 1))
            fi
            ;;
        esac
    done

    COMPREPLY=()
    if [[ $current == -* ]]; then
        local options="--help"
        case $command in
        "") options="--help --version" ;;
        split) options="--yes --help" ;;
        merge) options="--force --help" ;;
        esac
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$current")
        return
    fi

    case $command in
    "")
        mapfile -t COMPREPLY < <(compgen -W "scan split merge list help" -- "$current")
        ;;
    help)
        ((given == 0)) && mapfile -t COMPREPLY < <(compgen -W "scan split merge list" -- "$current")
        ;;
    scan | split)
        # split's second word is the size, which no file names.
        if ((given == 0)); then
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$current")
        fi
        ;;
    merge)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -d -- "$current"; compgen -f -X '!*.[qQ][qQ][qQ]' -- "$current")
        ;;
    list)
        if ((given == 0)); then
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -d -- "$current")
        fi
        ;;
    esac
}

complete -F _saltwick_cli saltwick-cli
