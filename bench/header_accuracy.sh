#!/usr/bin/env bash
# How well the header attributes let each method tell what an executable is.
#
# Usage: bench/header_accuracy.sh CORPUS_DIR [BUILD_DIR]
#
# CORPUS_DIR is what bench/make_corpus.sh made (its labels.tsv is read);
# BUILD_DIR holds src/morvel-cli (default: build/ beside bench/). Every store
# is made in a temporary folder and removed; the user's store is not touched.
#
# For each label of the corpus (kind, bits, builder) it prints one table:
# the 10-fold accuracy of `morvel-cli evaluate` for each method (ID3-based,
# Naive Bayes, Free Bayes, Decision tree) with the header attributes off and
# on, and beside them, on the same exported vectors, scikit-learn's decision
# tree (entropy) and categorical naive Bayes (10 stratified folds) and Weka's
# J48 and NaiveBayes (-x 10 on `export --format arff`). The files are examined
# once (remember, then export --format csv) and every evaluation store imports
# those rows. Then kind's learning curve: after 4, 8, 16, 32 and 64 files
# taught by `remember` (5 draws each, fixed seeds), the share of the other
# files that `classify --json` labels right. Last, the goals, each PASS or
# FAIL; a method the CLI does not know is shown as n/a, in the tables and the
# goals. The exit status is 1 when a goal is not met or cannot be measured.
#
# Needs: python3 with numpy and scikit-learn (Debian python3-sklearn); Weka
# (Debian weka, with java) for its columns, which are left empty without it.
# Takes about 15 seconds on two cores for the 400 files of make_corpus.sh.
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  sed -n '2,/^set -e/p' "$0" | sed '$d; s/^# \{0,1\}//'
  exit 2
fi
here="$(cd "$(dirname "$0")" && pwd)"
corpus="$1"
build="${2:-$here/../build}"
cli="$build/src/morvel-cli"
python=/usr/bin/python3

[ -r "$corpus/labels.tsv" ] || { echo "header_accuracy: no $corpus/labels.tsv; make it with bench/make_corpus.sh" >&2; exit 2; }
[ -x "$cli" ] || { echo "header_accuracy: no morvel-cli in $build/src" >&2; exit 2; }
if ! "$cli" header-attributes --help >/dev/null 2>&1; then
  echo "header_accuracy: $cli has no header-attributes command; build a version with the header attributes" >&2
  exit 2
fi
"$python" -c 'import numpy, sklearn' 2>/dev/null ||
  { echo "header_accuracy: needs scikit-learn (apt-get install -y python3-sklearn)" >&2; exit 2; }
[ -r /usr/share/java/weka.jar ] && command -v java >/dev/null ||
  echo "header_accuracy: Weka is not installed (apt-get install -y weka); its columns stay empty" >&2

start=$SECONDS
status=0
"$python" "$here/header_accuracy.py" "$corpus" "$cli" || status=$?
echo "header_accuracy: $((SECONDS - start)) s"
exit $status
