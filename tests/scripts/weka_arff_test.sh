#!/usr/bin/env bash
# Weka opens `morvel-cli export --format arff --target ID` as a user would:
# its Id3, J48 and NaiveBayes each run a 10-fold cross-validation on the file
# as exported, with no filter. Skipped (exit 77) where Weka is not installed.
# Usage: weka_arff_test.sh MORVEL_CLI
set -euo pipefail
cli="$1"
jar=/usr/share/java/weka.jar
if [ ! -r "$jar" ] || ! command -v java >/dev/null; then
  echo "Weka is not installed (Debian package weka); skipped"
  exit 77
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
m() { MORVEL_STORE="$work/store.sqlite" "$cli" "$@"; }

# Search texts and target values that need quoting in ARFF: a blank, a
# comma, a quote, Cyrillic.
m sequences set "MZ" "This program" "a,b" "it's" "Вирус" >/dev/null
m targets add kind "Kind" "ID3-based" >/dev/null
m targets add "my fam" "Family" "Naive Bayes" >/dev/null
for i in $(seq 1 40); do
  case $((i % 4)) in
    0) name="setup$i.exe" body="MZ This program needs Windows" kind="installer" ;;
    1) name="t$i.com" body="a,b it's" kind="Кот, кошка" ;;
    2) name="game$i.scr" body="MZ it's a,b" kind="say \"hi\"" ;;
    3) name="x$i.exe" body="plain" kind="installer" ;;
  esac
  printf '%s%*s' "$body" "$((i * 37))" "" >"$work/$name"
  m remember "$work/$name" "kind=$kind" "my fam=f$((i % 3))" >/dev/null
done
m export --format arff --target kind >"$work/kind.arff"

failed=0
for classifier in weka.classifiers.trees.Id3 weka.classifiers.trees.J48 weka.classifiers.bayes.NaiveBayes; do
  if java -Dfile.encoding=UTF-8 -cp "$jar" "$classifier" -t "$work/kind.arff" -x 10 >"$work/out" 2>&1 &&
     grep -q "=== Stratified cross-validation ===" "$work/out" && ! grep -q "Exception" "$work/out"; then
    echo "$classifier, 10-fold: $(grep "Correctly Classified" "$work/out" | tail -1)"
  else
    echo "$classifier did not cross-validate the export:"
    head -20 "$work/out"
    failed=1
  fi
done
exit $failed
