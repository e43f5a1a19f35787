# bash completion of the telbook tool: its commands, each command's options and the values an
# option takes from a fixed list, all read from the tool's own help; file names for the rest.
_telbook() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local tool=${COMP_WORDS[0]} command="" i
  for ((i = 1; i < COMP_CWORD; i++)); do
    if [[ ${COMP_WORDS[i]} != -* ]]; then
      command=${COMP_WORDS[i]}
      break
    fi
  done
  if [[ -z $command ]]; then
    if [[ $cur == -* ]]; then
      COMPREPLY=($(compgen -W '--help --version' -- "$cur"))
    else
      COMPREPLY=($(compgen -W "$("$tool" --help 2>/dev/null |
        sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z]*\) .*/\1/p')" -- "$cur"))
    fi
    return
  fi
  local help
  help=$("$tool" "$command" --help 2>/dev/null)
  if [[ $prev == --* ]]; then
    local values
    values=$(sed -n "s/^  $prev [A-Z]*:{\([^}]*\)}.*/\1/p" <<<"$help" | tr ',' ' ')
    if [[ -n $values ]]; then
      COMPREPLY=($(compgen -W "$values" -- "$cur"))
      return
    fi
  fi
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$(grep -o -- '--[a-z][a-z0-9-]*' <<<"$help" | sort -u)" -- "$cur"))
    return
  fi
  COMPREPLY=($(compgen -f -- "$cur"))
}
complete -o filenames -F _telbook telbook
