# bash completion for saltwick-cli: the commands, their options, and the files each takes.

_saltwick_cli()
{
    local current=${COMP_WORDS[COMP_CWORD]}
    local previous=${COMP_WORDS[COMP_CWORD - 1]}
    local command="" given=0 i
    # The command is the first word that is no option; count the words given after it.
    # An option's value is neither.
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
        --with | -o | --output | --at | --retries) i=$((i + 1)) ;;
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
    case $previous in
    --with | -o | --output)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$current")
        return
        ;;
    --at | --retries) return ;;
    esac
    if [[ $current == -* ]]; then
        local options="--help --quiet"
        case $command in
        "") options="--help --version" ;;
        split) options="--yes --help --quiet" ;;
        merge) options="--force --with --help --quiet" ;;
        fetch) options="--force --output --whole --retries --help --quiet" ;;
        repair) options="--force --at --whole --retries --help --quiet" ;;
        esac
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$current")
        return
    fi

    case $command in
    "")
        mapfile -t COMPREPLY < <(compgen -W "scan split merge fetch repair list help" -- "$current")
        ;;
    help)
        ((given == 0)) && mapfile -t COMPREPLY < <(compgen -W "scan split merge fetch repair list" \
            -- "$current")
        ;;
    scan | split | repair)
        # The second word is a size or an address, which no file names.
        if ((given == 0)); then
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$current")
        fi
        ;;
    fetch)
        if ((given == 0)); then
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -d -- "$current"; compgen -f -X '!*.[qQ][qQ][qQ]' -- "$current")
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
