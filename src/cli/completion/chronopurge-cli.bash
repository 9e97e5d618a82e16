# bash completion for chronopurge-cli                      -*- shell-script -*-
# Options, their fixed values, folders as operands, files for --save,
# --trash-from and --rules, and the request ids of --undo read from
# --undo-list. Needs nothing beyond bash itself.

_chronopurge_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]}
    local i undo= operands=
    COMPREPLY=()

    # "--kind=cr" reaches us as "--kind" "=" "cr".
    if [[ $prev == = && $COMP_CWORD -ge 2 ]]; then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    elif [[ $cur == = ]]; then
        cur=
    fi

    case $prev in
        -k | --kind)
            COMPREPLY=($(compgen -W 'modified created accessed' -- "$cur"))
            return
            ;;
        --date-format)
            COMPREPLY=($(compgen -W 'locale iso' -- "$cur"))
            return
            ;;
        --format)
            COMPREPLY=($(compgen -W 'rows csv jsonl' -- "$cur"))
            return
            ;;
        --save | --trash-from | --rules)
            compopt -o filenames 2>/dev/null
            local IFS=$'\n'
            COMPREPLY=($(compgen -f -- "$cur"))
            return
            ;;
        --after | --before | --on | --between | --older-than | --newer-than | --threads | \
            --exclude | --name | --iname | --size | --keep-newest)
            return
            ;;
    esac

    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            --) operands=1 ;;
            --undo) undo=1 ;;
        esac
    done

    if [[ -n $undo ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W '--print0' -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$(chronopurge-cli --undo-list 2>/dev/null | cut -f1)" -- "$cur"))
        fi
        return
    fi

    if [[ -z $operands && $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--help --version --kind --after --before --on
            --between --older-than --newer-than --all --exclude --name --iname
            --size --one-file-system --keep-newest --date-format --format
            --summary --print0 --save --trash --trash-from --stats --threads
            --rules --undo --undo-list' -- "$cur"))
        return
    fi

    compopt -o filenames 2>/dev/null
    local IFS=$'\n'
    COMPREPLY=($(compgen -d -- "$cur"))
} &&
    complete -F _chronopurge_cli chronopurge-cli
