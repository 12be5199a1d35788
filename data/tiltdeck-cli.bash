# bash completion for tiltdeck-cli: options, commands, their words and the
# device data field names.

_tiltdeck_cli() {
  local cur prev
  cur="${COMP_WORDS[COMP_CWORD]}"
  prev="${COMP_WORDS[COMP_CWORD - 1]}"

  local options="--port --baud --trace --capture --json --quiet --exact-timing --help"
  local commands="scan info alarms tilt calibrate tma field download selftest reset clear-alarms report run trace2pcap"
  local fields="antenna-model-number antenna-serial-number antenna-frequency-band antenna-beamwidth antenna-gain antenna-max-tilt antenna-min-tilt antenna-frequency-band-08 antenna-frequency-band-09 tma-model-number tma-serial-number tma-type tma-rx-frequency-band tma-tx-frequency-band tma-max-support-gain tma-min-support-gain tma-gain-resolution operator-install-date operator-install-id operator-basestation-id operator-sector-id operator-antenna-bearing operator-mechanical-tilt"

  case "$prev" in
    --port)
      local ports
      ports=$(compgen -G '/dev/ttyUSB*'; compgen -G '/dev/ttyACM*'; compgen -G '/dev/ttyS*')
      COMPREPLY=($(compgen -W "$ports" -- "$cur") $(compgen -f -- "$cur"))
      return
      ;;
    --trace | --capture)
      COMPREPLY=($(compgen -f -- "$cur"))
      return
      ;;
    --baud)
      COMPREPLY=($(compgen -W "9600 38400 115200" -- "$cur"))
      return
      ;;
    --subunit | --set)
      [ "$prev" = "--set" ] && [[ " ${COMP_WORDS[*]} " == *" mode "* ]] &&
        COMPREPLY=($(compgen -W "normal bypass" -- "$cur"))
      return
      ;;
  esac

  # The command is the first word that is no option and no option's value.
  local i word command="" after=()
  for ((i = 1; i < COMP_CWORD; i++)); do
    word="${COMP_WORDS[i]}"
    if [ -n "$command" ]; then
      after+=("$word")
    elif [[ "$word" == --port || "$word" == --baud || "$word" == --trace || "$word" == --capture ]]; then
      ((i++))
    elif [[ "$word" != -* ]]; then
      command="$word"
    fi
  done

  if [ -z "$command" ]; then
    if [[ "$cur" == -* ]]; then
      COMPREPLY=($(compgen -W "$options" -- "$cur"))
    else
      COMPREPLY=($(compgen -W "$commands" -- "$cur"))
    fi
    return
  fi

  # The words after the command, options and their values left out.
  local words=()
  for ((i = 0; i < ${#after[@]}; i++)); do
    case "${after[i]}" in
      --subunit | --set) ((i++)) ;;
      -*) ;;
      *) words+=("${after[i]}") ;;
    esac
  done
  local n=${#words[@]}

  if [[ "$cur" == -* ]]; then
    local extra="--help"
    case "$command" in
      alarms | calibrate) extra="--subunit --help" ;;
      tilt) extra="--subunit --set --help" ;;
      tma) extra="--subunit --set --help" ;;
      field) extra="--subunit --help" ;;
      run) extra="--keep-going --help" ;;
    esac
    COMPREPLY=($(compgen -W "$extra" -- "$cur"))
    return
  fi

  case "$command" in
    calibrate) [ "$n" -eq 0 ] && COMPREPLY=($(compgen -W "all" -- "$cur")) ;;
    tma) [ "$n" -eq 1 ] && COMPREPLY=($(compgen -W "gain mode functions" -- "$cur")) ;;
    field)
      if [ "$n" -eq 1 ]; then
        COMPREPLY=($(compgen -W "get set" -- "$cur"))
      elif [ "$n" -eq 2 ]; then
        if [ "${words[1]}" = "get" ]; then
          COMPREPLY=($(compgen -W "all $fields" -- "$cur"))
        else
          COMPREPLY=($(compgen -W "$fields" -- "$cur"))
        fi
      fi
      ;;
    download)
      if [ "$n" -eq 0 ]; then
        COMPREPLY=($(compgen -W "firmware config" -- "$cur"))
      elif [ "$n" -eq 2 ]; then
        COMPREPLY=($(compgen -f -- "$cur"))
      fi
      ;;
    report | run | trace2pcap) COMPREPLY=($(compgen -f -- "$cur")) ;;
  esac
}

complete -o filenames -F _tiltdeck_cli tiltdeck-cli
