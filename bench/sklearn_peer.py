#!/usr/bin/python3
"""scikit-learn's fit + predict of every target of an examples CSV, for one file.

The peer of `morvel-cli classify` in bench/ScaleBench.cpp. Usage:

    sklearn_peer.py EXAMPLES.csv METHODS FILE_VALUES

EXAMPLES.csv is what `morvel-cli export --format csv` writes: an "example"
column, one column per attribute (empty = no value, read as 0) and one
"Target..." column per target. METHODS gives each target's method, comma
separated, in column order. FILE_VALUES are the file's attribute codes, comma
separated, in column order.

Each target is learnt from the rows holding a value for it, classes compared
as the program compares them (blanks trimmed, letter case ignored):
- "ID3-based": a decision tree grown by information gain (criterion
  "entropy"), which is the gain the ID3 walk maximises at each step;
- "Naive Bayes": categorical naive Bayes, a smoothed product of per-attribute
  category rates times the class share, as the program scores;
- "Free Bayes": the same without the class share (uniform class prior).

Prints the seconds of fit + predict of all targets (the data is read, split
and its classes numbered before the clock starts), then one line per target
with its prediction.
"""
import csv
import sys
import time

import numpy as np
from sklearn.naive_bayes import CategoricalNB
from sklearn.tree import DecisionTreeClassifier


def main():
    path, methods, file_values = sys.argv[1], sys.argv[2].split(","), sys.argv[3]
    with open(path, newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f))
    header, rows = rows[0], rows[1:]
    slots = [i for i, name in enumerate(header)
             if name.lower() != "example" and not name.lower().startswith("target")]
    targets = [i for i, name in enumerate(header) if name.lower().startswith("target")]
    if len(methods) != len(targets):
        sys.exit("sklearn_peer: %d methods for %d targets" % (len(methods), len(targets)))

    x = np.array([[int(row[i]) if row[i] else 0 for i in slots] for row in rows], dtype=np.int32)
    query = np.array([[int(v) for v in file_values.split(",")]], dtype=np.int32)
    categories = np.maximum(x.max(axis=0), query[0]) + 1
    work = []
    for column, method in zip(targets, methods):
        keep = np.array([row[column] != "" for row in rows])
        # Classes as numbers, so that the peer spends no time on texts.
        classes, labels = np.unique(np.array([row[column].strip().lower() for row in rows],
                                             dtype=object)[keep], return_inverse=True)
        if method == "ID3-based":
            model = DecisionTreeClassifier(criterion="entropy", random_state=0)
        else:
            model = CategoricalNB(fit_prior=method == "Naive Bayes", min_categories=categories)
        work.append((model, x[keep], labels, classes))

    start = time.perf_counter()
    predictions = [model.fit(data, labels).predict(query)[0] for model, data, labels, _ in work]
    seconds = time.perf_counter() - start

    print("%.6f" % seconds)
    for column, prediction, (_, _, _, classes) in zip(targets, predictions, work):
        print("%s\t%s" % (header[column], classes[prediction]))


if __name__ == "__main__":
    main()
