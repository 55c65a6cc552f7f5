# bash completion for opjoin: its options, their values, and log files.
_opjoin() {
  local cur
  cur=${COMP_WORDS[COMP_CWORD]}
  # "--dialog=terminal" reaches us as "--dialog", "=", "terminal" (= is a word breaker).
  local prev=${COMP_WORDS[COMP_CWORD - 1]}
  local option=
  if [[ $prev == "=" && $COMP_CWORD -ge 2 ]]; then
    option=${COMP_WORDS[COMP_CWORD - 2]}
  elif [[ $cur == "=" ]]; then
    option=$prev
    cur=
  elif [[ $prev == --dialog || $prev == --layout ]]; then
    option=$prev
  fi
  case $option in
    --dialog)
      mapfile -t COMPREPLY < <(compgen -W "auto terminal gui" -- "$cur")
      return
      ;;
    --layout)
      mapfile -t COMPREPLY < <(compgen -W "auto smartspice hspice ngspice" -- "$cur")
      return
      ;;
    --listing)
      COMPREPLY=()
      return
      ;;
  esac
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "--dialog= --layout= --listing= --help --version --" -- "$cur")
    [[ ${COMPREPLY[0]} == *= ]] && compopt -o nospace
    return
  fi
  # Logs: folders to walk into and the usual log extensions, with any file as a fallback.
  compopt -o filenames
  mapfile -t COMPREPLY < <(compgen -f -X '!*.@(out|dat|lis|log|OUT|DAT|LIS|LOG)' -- "$cur"; compgen -d -- "$cur")
  if [[ ${#COMPREPLY[@]} -eq 0 ]]; then
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
  fi
}
complete -F _opjoin opjoin
