# Bash completion for tk530ctl: commands, their options, list names, and files or devices
# where a command takes them. Source it, or install it as
# /usr/share/bash-completion/completions/tk530ctl.

_tk530ctl() {
    local cur prev words cword
    _init_completion || return

    local globals="--folder --port --modem --number --pin --trace --retries --timeout-scale
        --json --help --version"
    local commands="info status read-config write-config set-outputs set-time monitor sms-read
        sms-send sms-resend sms-list sms-show sms-delete sms-mark-read sms-export modems
        modem-add modem-del settings find do"
    local lists="received sent tosend"

    case $prev in
    --folder)
        _filedir -d
        return
        ;;
    --port)
        COMPREPLY=($(compgen -W "$(ls /dev/serial/by-id/* /dev/ttyUSB* /dev/ttyACM* \
            /dev/ttyS* 2>/dev/null)" -- "$cur"))
        _filedir
        return
        ;;
    --trace)
        # A value only after the command settings; the global --trace is a switch.
        if [[ " ${words[*]} " == *" settings "* ]]; then
            COMPREPLY=($(compgen -W "on off" -- "$cur"))
            return
        fi
        ;;
    --encoding)
        COMPREPLY=($(compgen -W "cp1250 utf8" -- "$cur"))
        return
        ;;
    --number | --pin | --retries | --timeout-scale | --seconds | --give-up | --to | --text | --set | \
        --clear | --init | --bearer | --modem)
        return
        ;;
    esac

    # The command is the first word that is one.
    local command="" i
    for ((i = 1; i < cword; i++)); do
        if [[ " $commands " == *" ${words[i]} "* ]]; then
            command=${words[i]}
            break
        fi
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "$globals" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        fi
        return
    fi

    local options=""
    case $command in
    read-config) options="--force" ;;
    write-config) options="--verify" ;;
    set-outputs) options="--set --clear" ;;
    sms-send) options="--to --text" ;;
    sms-export) options="--append --overwrite --encoding" ;;
    monitor) options="--seconds --give-up" ;;
    modem-add) options="--init --bearer --gsm" ;;
    settings) options="--port --trace --local --remote --modem" ;;
    find) options="--save" ;;
    do) options="--keep-going" ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options $globals" -- "$cur"))
        return
    fi
    case $command in
    read-config | write-config)
        _filedir cfg
        ;;
    set-time)
        COMPREPLY=($(compgen -W "now" -- "$cur"))
        ;;
    sms-list | sms-show | sms-delete | sms-mark-read)
        [[ $prev == "$command" ]] && COMPREPLY=($(compgen -W "$lists" -- "$cur"))
        ;;
    sms-export)
        if [[ $prev == "$command" ]]; then
            COMPREPLY=($(compgen -W "$lists" -- "$cur"))
        else
            _filedir
        fi
        ;;
    modem-add)
        _filedir
        ;;
    find)
        COMPREPLY=($(compgen -W "$(ls /dev/serial/by-id/* /dev/ttyUSB* /dev/ttyACM* \
            /dev/ttyS* 2>/dev/null)" -- "$cur"))
        ;;
    do)
        COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        ;;
    esac
} &&
    complete -F _tk530ctl tk530ctl
