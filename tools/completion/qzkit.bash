# SPDX-License-Identifier: Apache-2.0
# bash completion for qzkit: the subcommands and their options, read from the
# program's own --help, so it never lists a subcommand that is not there;
# file names everywhere else.
_qzkit() {
  local current=${COMP_WORDS[COMP_CWORD]} command=() word words
  for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
    [[ $word == -* ]] && break
    command+=("$word")
  done
  local help
  help=$("${COMP_WORDS[0]}" "${command[@]}" --help 2>/dev/null) || return 0
  if [[ $current == -* ]]; then
    words=$(grep -o -- '--[a-z][a-z0-9-]*' <<<"$help" | sort -u)
  elif [ "${#command[@]}" -eq $((COMP_CWORD - 1)) ] && grep -q '^Subcommands:' <<<"$help"; then
    words=$(sed -n '/^Subcommands:/,$s/^  \([a-z][a-z0-9-]*\) .*/\1/p' <<<"$help")
  else
    return 0  # -o default: file names
  fi
  mapfile -t COMPREPLY < <(compgen -W "$words" -- "$current")
}
complete -o default -F _qzkit qzkit
