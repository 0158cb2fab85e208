#!/usr/bin/env bash
# The starter configuration is a registry-editor file that sets exactly the
# search texts and targets of a store, within the store's limits.
#   starter_reg_test.sh [MORVEL_CLI]
# With a morvel-cli that has the load command, it is also loaded into a fresh
# store and read back.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
file="${STARTER_REG:-$root/packaging/starter.reg}"
cli="${1:-}"
fail() { echo "starter.reg: $*" >&2; exit 1; }

# REGEDIT4 text: Windows-1251 with CRLF line ends throughout.
head -c 10 "$file" | cmp -s - <(printf 'REGEDIT4\r\n') || fail "the first line is not REGEDIT4"
lines=$(wc -l < "$file")
[ "$(grep -c $'\r$' "$file")" -eq "$lines" ] || fail "a line does not end with CRLF"
[ "$(tr -cd '\r' < "$file" | wc -c)" -eq "$lines" ] || fail "a carriage return stands alone"
tail -c 2 "$file" | cmp -s - <(printf '\r\n') || fail "the last line has no line end"
text=$(iconv -f CP1251 -t UTF-8 "$file" | tr -d '\r') || fail "not Windows-1251 text"

# Every line is blank, a comment, one of the three keys or a value of the form
# the registry editor writes; the keys come once each. The Attributes key
# holds only the header setting.
attributes='[HKEY_CURRENT_USER\SOFTWARE\Norwick\Morvel\Attributes]'
contain='[HKEY_CURRENT_USER\SOFTWARE\Norwick\Morvel\Attributes\Contain]'
target='[HKEY_CURRENT_USER\SOFTWARE\Norwick\Morvel\Attributes\Target]'
key="" n=0
declare -A values counts seen
while IFS= read -r line; do
  n=$((n + 1))
  if ((n == 1)) || [[ -z $line || $line == \;* ]]; then continue; fi
  if [[ $line == "$contain" || $line == "$target" || $line == "$attributes" ]]; then
    [ -z "${seen[$line]:-}" ] || fail "line $n: the key $line comes twice"
    seen[$line]=1 key=$line
    continue
  fi
  [ -n "$key" ] || fail "line $n: a value before any key"
  if [[ $key == "$attributes" ]]; then
    [[ $line =~ ^\"HeaderAttributes\"=dword:0000000[01]$ ]] || fail "line $n: not the header setting: $line"
    header=${line: -1}
  elif [[ $line =~ ^\"Count\"=dword:([0-9a-f]{8})$ ]]; then
    counts[$key]=$((16#${BASH_REMATCH[1]}))
  elif [[ $line =~ ^\"([A-Za-z]+)([1-9][0-9]*)\"=\"(([^\"\\]|\\[\"\\])*)\"$ ]]; then
    name=${BASH_REMATCH[1]} index=${BASH_REMATCH[2]} value=${BASH_REMATCH[3]}
    [ -z "${values[$key$name$index]+x}" ] || fail "line $n: $name$index is set twice"
    values[$key$name$index]=$value
    bytes=$(printf '%s' "$value" | iconv -f UTF-8 -t CP1251 | wc -c)
    ((bytes > 0 && bytes < 1024)) || fail "line $n: $name$index is empty or longer than the store holds"
  else
    fail "line $n is not a value the registry editor writes: $line"
  fi
done <<< "$text"
[ -n "${seen[$contain]:-}" ] && [ -n "${seen[$target]:-}" ] || fail "a key is missing"

# The counts match the numbered values, which run from 1 without a gap.
check_list() { # KEY NAME... : every NAME1..NAMEcount is set, and nothing above.
  local key=$1 count=${counts[$1]:-} name i
  shift
  [ -n "$count" ] || fail "$key has no Count"
  for name in "$@"; do
    for ((i = 1; i <= count; i++)); do
      [ -n "${values[$key$name$i]+x}" ] || fail "$key: $name$i is missing"
    done
    [ -z "${values[$key$name$((count + 1))]+x}" ] || fail "$key: $name$((count + 1)) lies above Count"
  done
}
check_list "$contain" Value
check_list "$target" Id Name Method
sequences=${counts[$contain]} targets=${counts[$target]}
((sequences >= 1 && sequences <= 100)) || fail "$sequences search texts (1 to 100 are stored)"
((targets >= 1 && targets <= 32)) || fail "$targets targets (1 to 32 are stored)"
((${#values[@]} == sequences + 3 * targets)) || fail "a value other than Value, Id, Name and Method"

# No search text repeats another in any letter case (an editor would drop
# it), every text has a comment saying where it comes from, and every method
# is one the classifiers know.
repeated=$(for ((i = 1; i <= sequences; i++)); do printf '%s\n' "${values[${contain}Value$i]}"; done |
  tr '[:upper:]' '[:lower:]' | sort | uniq -d)
[ -z "$repeated" ] || fail "search texts repeat: $repeated"
prev=""
while IFS= read -r line; do
  if [[ $line =~ ^\"Value[0-9]+\"= && $prev != \;* ]]; then fail "no comment above $line"; fi
  prev=$line
done <<< "$text"
for ((i = 1; i <= targets; i++)); do
  case "${values[${target}Method$i]}" in
    "ID3-based" | "Naive Bayes" | "Free Bayes" | "Decision tree") ;;
    *) fail "target $i has the unknown method ${values[${target}Method$i]}" ;;
  esac
done

# Loaded into a fresh store, it gives these search texts and targets.
if [ -n "$cli" ] && "$cli" --help | grep -qE "^ +load +"; then
  store="$(mktemp -d)"
  trap 'rm -rf "$store"' EXIT
  export MORVEL_STORE="$store/store.sqlite"
  "$cli" load "$file" >/dev/null
  [ "$("$cli" sequences | wc -l)" -eq "$sequences" ] || fail "load did not give $sequences search texts"
  [ "$("$cli" sequences | head -1)" = "${values[${contain}Value1]}" ] || fail "load changed the first text"
  [ "$("$cli" targets | cut -f1 | paste -sd' ')" = "$(for ((i = 1; i <= targets; i++)); do
    printf '%s\n' "${values[${target}Id$i]}"; done | paste -sd' ')" ] || fail "load did not give the targets"
  expected=$([ "${header:-0}" = 1 ] && echo on || echo off)
  [ "$("$cli" header-attributes)" = "$expected" ] || fail "load did not turn the header attributes $expected"
  echo "starter.reg: loaded into a fresh store"
else
  echo "starter.reg: morvel-cli has no load command yet; the file's form was checked"
fi
echo "starter.reg: 1 passed, 0 failed"
