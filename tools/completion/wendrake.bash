# bash completion for wendrake. Subcommands and options are read from the
# tool's own --help, so the completion follows the installed tool's version.

# Words of a --help section: the first word of each indented line, split at
# commas ("-h,--help" gives -h and --help).
_wendrake_help_words() {
  "$1" "${@:2}" --help 2>/dev/null | awk -v section="$_wendrake_section" '
    /^[A-Za-z].*:$/ { in_section = ($0 == section); next }
    in_section && /^  [^ ]/ { n = split($1, w, ","); for (i = 1; i <= n; i++) print w[i] }'
}

_wendrake() {
  local cur=${COMP_WORDS[COMP_CWORD]} tool=${COMP_WORDS[0]} sub="" word i
  local -a subs
  mapfile -t subs < <(_wendrake_section="Subcommands:" _wendrake_help_words "$tool")
  for ((i = 1; i < COMP_CWORD; i++)); do
    for word in "${subs[@]}"; do
      [ "${COMP_WORDS[i]}" = "$word" ] && sub=$word
    done
  done
  if [[ $cur == -* ]]; then
    local opts
    opts=$(_wendrake_section="Options:" _wendrake_help_words "$tool" $sub | sed 's/[=[].*//')
    mapfile -t COMPREPLY < <(compgen -W "$opts" -- "$cur")
  elif [ -z "$sub" ]; then
    mapfile -t COMPREPLY < <(compgen -W "${subs[*]}" -- "$cur")
  else
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
  fi
}
complete -o filenames -o bashdefault -F _wendrake wendrake
