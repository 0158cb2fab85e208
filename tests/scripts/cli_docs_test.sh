#!/usr/bin/env bash
# The manual page and the bash completion of morvel-cli know every command,
# subcommand and option that morvel-cli --help lists, and the completion
# offers what a user types next.
#   cli_docs_test.sh MORVEL_CLI
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cli="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
page="$root/packaging/morvel-cli.1"
failures=0
fail() { echo "cli docs: $*" >&2; failures=$((failures + 1)); }

completion=/usr/share/bash-completion/bash_completion
[ -f "$completion" ] || { echo "cli docs: bash-completion is not installed (scripts/setup installs it)" >&2; exit 1; }
# shellcheck disable=SC1090
source "$completion"
source "$root/packaging/morvel-cli.bash-completion"
store="$(mktemp -d)"
trap 'rm -rf "$store"' EXIT

# The words the completion offers for a command line whose last word is being
# typed, one per line. The words are given as bash splits them, quotes kept.
offers() {
  COMP_WORDS=("$@")
  COMP_LINE="$*" COMP_POINT=${#COMP_LINE} COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _morvel_cli morvel-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}"
}
# Whether the completion offers WORD for a command line (a check on the whole
# list, so that grep stopping early cannot fail the pipeline).
offered() {
  local word=$1 list
  shift
  list=$(offers "$@")
  grep -qxF -- "$word" <<< "$list"
}
# The commands listed under "Subcommands:" of a help text.
subcommands() { sed -n '/^Subcommands:/,/^$/p' | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p'; }
# The options of a help text, --help aside.
options() { grep -oE -- '(^|[ ,])--?[a-z][a-z-]*' | sed 's/^[ ,]//' | grep -vxE -- '-h|--help' | sort -u; }
# The manual page names an option as \-\-name.
in_page() { grep -qF -- "$(printf '%s' "$1" | sed 's/-/\\-/g')" "$page"; }

commands=$("$cli" --help | subcommands)
[ -n "$commands" ] || { echo "cli docs: no commands in morvel-cli --help" >&2; exit 1; }
for option in $("$cli" --help | options); do
  in_page "$option" || fail "the manual page lacks the option $option"
  offered "$option" morvel-cli -- || fail "no completion of $option"
done
for command in $commands; do
  grep -qE "^\.(B|BR|BI) \"?$command( |\"|$)" "$page" || fail "the manual page lacks the command $command"
  offered "$command" morvel-cli "" || fail "no completion of the command $command"
  help=$("$cli" "$command" --help)
  for option in $(options <<< "$help"); do
    in_page "$option" || fail "the manual page lacks $command $option"
    offered "$option" morvel-cli "$command" - || fail "no completion of $command $option"
  done
  for sub in $(subcommands <<< "$help"); do
    grep -qE "^\.(B|BR|BI) \"$command $sub" "$page" || fail "the manual page lacks $command $sub"
    offered "$sub" morvel-cli "$command" "" || fail "no completion of $command $sub"
  done
done

# Values: the formats, a method with a blank in it, and the target
# identifiers of the store named on the command line.
[ "$(offers morvel-cli export --format "" | sort | paste -sd' ')" = "arff csv reg" ] ||
  fail "export --format offers $(offers morvel-cli export --format "" | paste -sd' ')"
[ "$(offers morvel-cli targets add kind "'Kind of file'" Na)" = 'Naive\ Bayes' ] ||
  fail "targets add does not complete the method Naive Bayes"
MORVEL_STORE="$store/other.sqlite" "$cli" --store "$store/s.sqlite" targets add kind "Kind" "ID3-based" >/dev/null
PATH="$(dirname "$cli"):$PATH"
[ "$(offers morvel-cli --store "$store/s.sqlite" evaluate --target "")" = kind ] ||
  fail "--target does not offer the identifiers of the store given by --store"
# From the temporary folder: a completion that took a word for a path would
# make its store there.
cd "$store"
# --store=PATH, as typed (bash splits it at "=") and as one word.
[ "$(offers morvel-cli --store = "$store/s.sqlite" rank --target "")" = kind ] ||
  fail "--target does not offer the identifiers of the store given by --store=PATH"
[ "$(offers morvel-cli "--store=$store/s.sqlite" rank --target "")" = kind ] ||
  fail "--target does not offer the identifiers of the store given by --store=PATH as one word"
# A leading ~ is the home folder; the store is only read, and a mistyped path
# makes no store and no folder (the fault pinned: completion created both).
cp "$store/s.sqlite" "$store/home.sqlite"
[ "$(HOME="$store" offers morvel-cli --store '~/home.sqlite' rank --target "")" = kind ] ||
  fail "--target does not read the store given as ~/PATH"
(cd "$store" && { offers morvel-cli --store '~/x.sqlite' rank --target "" || true; } >/dev/null &&
  { offers morvel-cli --store "newdir/typo.sqlite" rank --target "" || true; } >/dev/null)
[ ! -e "$store/~" ] && [ ! -e "$store/newdir" ] && [ ! -e "$store/=" ] ||
  fail "completion created a store or its folder"
# An identifier with a blank is offered as one word.
MORVEL_STORE="$store/other.sqlite" "$cli" --store "$store/s.sqlite" targets add "my kind" "Mine" "Free Bayes" >/dev/null
[ "$(offers morvel-cli --store "$store/s.sqlite" targets delete my)" = 'my\ kind' ] ||
  fail "an identifier with a blank is not offered as one word: $(offers morvel-cli --store "$store/s.sqlite" targets delete my)"

((failures == 0)) || exit 1
echo "cli docs: 1 passed, 0 failed"
