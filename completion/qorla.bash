# bash completion for qorla                                 -*- shell-script -*-
# Installed as share/bash-completion/completions/qorla.

_qorla() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  local prev=${COMP_WORDS[COMP_CWORD - 1]}

  # Options end at the first word that begins with neither '-' nor '+'
  # (the range after -c excepted); that word and all after it are files.
  local i word
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    if [[ $word == -c ]]; then
      ((i++))
    elif [[ $word != [-+]* ]]; then
      _qorla_files "$cur" ''
      return
    fi
  done

  COMPREPLY=()
  [[ $prev == -c ]] && return  # a field range: nothing to offer

  local letter
  if [[ $cur =~ ^\+[0-9]+([.,][0-9]*)*([a-z]*)$ ]]; then
    # A key: offer the option letters that still change it (one type,
    # then r), and the key as it is once it has a letter.
    local given=${BASH_REMATCH[2]}
    [[ -n $given ]] && COMPREPLY+=("$cur")
    for letter in n x d t r s; do
      [[ $given == *$letter* ]] && continue
      [[ $letter != r && $given == *[nxdts]* ]] && continue
      COMPREPLY+=("$cur$letter")
    done
  elif [[ $cur == -* ]]; then
    local options=(-i -J -u -v -t -c)
    # These mean something only as the one argument.
    ((COMP_CWORD == 1 && ${#COMP_WORDS[@]} == 2)) && options+=(-usage --help --version)
    mapfile -t COMPREPLY < <(compgen -W "${options[*]}" -- "$cur")
    # A cluster of flag letters grows by each letter it lacks.
    if [[ $cur =~ ^-[iJuv]+$ ]]; then
      for letter in i J u v; do
        [[ $cur == *$letter* ]] || COMPREPLY+=("$cur$letter")
      done
      [[ " ${COMPREPLY[*]} " == *" $cur "* ]] || COMPREPLY+=("$cur")
    fi
  elif [[ $cur != +* ]]; then
    # Still among the options: a name that begins with '-' or '+' would be
    # read as one.
    _qorla_files "$cur" '[-+]*'
  fi
}

# File names that begin with $1, less those that match the pattern $2.
_qorla_files() {
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -f -X "$2" -- "$1")
}

complete -F _qorla qorla
