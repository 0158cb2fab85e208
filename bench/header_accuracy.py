#!/usr/bin/python3
"""The accuracy bench of the header attributes; run by header_accuracy.sh.

    header_accuracy.py CORPUS_DIR MORVEL_CLI

Reads CORPUS_DIR/labels.tsv (see make_corpus.sh) and prints, for the labels
kind, bits and builder, the 10-fold accuracy of each method of the program
with the header attributes off and on, next to scikit-learn's and Weka's on
the same exported vectors; then kind's learning curve, and the goals.
"""
import csv
import io
import json
import os
import random
import subprocess
import sys
import tempfile

import numpy as np
from sklearn.model_selection import StratifiedKFold, cross_val_score
from sklearn.naive_bayes import CategoricalNB
from sklearn.tree import DecisionTreeClassifier

LABELS = ["kind", "bits", "builder"]
METHODS = [("id3", "ID3-based"), ("nb", "Naive Bayes"), ("fb", "Free Bayes"), ("dt", "Decision tree")]
SETTINGS = ["off", "on"]
FOLDS = 10
CURVE_SIZES = [4, 8, 16, 32, 64]
CURVE_DRAWS = 5
WEKA_JAR = "/usr/share/java/weka.jar"
JOBS = "2"


class Cli:
    """morvel-cli on one store file."""

    def __init__(self, program, store):
        self.program, self.store = program, store

    def run(self, *args, stdin=None, check=True):
        done = subprocess.run([self.program, "--store", self.store, *args], input=stdin,
                              capture_output=True, text=True)
        if check and done.returncode != 0:
            raise RuntimeError(f"morvel-cli {' '.join(args)}: {done.stderr.strip() or done.stdout.strip()}")
        return done

    def add_target(self, ident, method):
        """Whether the program knows METHOD; an unknown one is left out of the tables."""
        return self.run("targets", "add", ident, ident, method, check=False).returncode == 0

    def header_attributes(self, state):
        done = self.run("header-attributes", state, check=False)
        if done.returncode != 0:
            sys.exit("header_accuracy: this morvel-cli cannot turn the header attributes "
                     f"{state}: {done.stderr.strip()}")


def read_labels(corpus):
    with open(os.path.join(corpus, "labels.tsv"), encoding="utf-8") as f:
        items = [dict(zip(["path"] + LABELS, line.rstrip("\n").split("\t"))) for line in f if line.strip()]
    for item in items:
        # A relative path is taken from the corpus folder.
        item["path"] = os.path.abspath(os.path.join(corpus, item["path"]))
    return items


def remember(cli, files, targets):
    """Store FILES as examples, TARGETS mapping target id -> label name; one call per value set."""
    groups = {}
    for item in files:
        values = tuple(f"{ident}={item[label]}" for ident, label in targets.items())
        groups.setdefault(values, []).append(item["path"])
    for values, paths in sorted(groups.items()):
        cli.run("remember", "-q", "-j", JOBS, "--from", "-", *values, stdin="\n".join(paths) + "\n")


def examined_rows(work, program, items):
    """Every file examined once, header slots included: the export's header and rows."""
    cli = Cli(program, os.path.join(work, "base.sqlite"))
    cli.header_attributes("on")
    for label in LABELS:
        cli.run("targets", "add", label, label, "ID3-based")
    remember(cli, items, {label: label for label in LABELS})
    rows = list(csv.reader(io.StringIO(cli.run("export", "--format", "csv").stdout)))
    header, rows = rows[0], rows[1:]
    if len(rows) != len(items):
        sys.exit(f"header_accuracy: {len(rows)} examples stored of {len(items)} files")
    if not any(name.startswith("Header") for name in header):
        sys.exit("header_accuracy: the export has no Header columns with the header attributes on")
    return header, rows


def store_with_targets(work, name, program, setting, labels):
    """A fresh store with one target per label and method; returns it and the methods it took."""
    cli = Cli(program, os.path.join(work, name + ".sqlite"))
    cli.header_attributes(setting)
    methods = [(short, method) for short, method in METHODS
               if all(cli.add_target(f"{label}_{short}", method) for label in labels)]
    return cli, methods


def import_rows(cli, work, header, rows, labels, methods):
    """Import ROWS, each label's column repeated once per method's target."""
    slots = [i for i, name in enumerate(header) if name != "example" and not name.startswith("Target")]
    names = [header[i] for i in slots] + [f"Target{label}_{short}" for label in labels for short, _ in methods]
    path = os.path.join(work, "import.csv")
    with open(path, "w", newline="", encoding="utf-8") as f:
        out = csv.writer(f)
        out.writerow(["example"] + names)
        for n, row in enumerate(rows, 1):
            out.writerow([n] + [row[i] for i in slots]
                         + [row[header.index("Target" + label)] for label in labels for _ in methods])
    cli.run("import", "--format", "csv", path)


def program_accuracy(work, program, header, rows, setting):
    cli, methods = store_with_targets(work, "eval-" + setting, program, setting, LABELS)
    import_rows(cli, work, header, rows, LABELS, methods)
    result = {}
    for line in cli.run("evaluate", "--folds", str(FOLDS), "--json", "-j", JOBS).stdout.splitlines():
        entry = json.loads(line)
        label, short = entry["id"].rsplit("_", 1)
        result[(label, dict(methods)[short])] = entry["accuracy"]
    return cli, methods, result


def sklearn_accuracy(header, rows, setting):
    """scikit-learn's decision tree and categorical naive Bayes, 10 stratified folds."""
    slots = [i for i, name in enumerate(header)
             if name.startswith("Standard") or name.startswith("Sequence")
             or (setting == "on" and name.startswith("Header"))]
    x = np.array([[int(row[i]) if row[i] else 0 for i in slots] for row in rows], dtype=np.int64)
    result = {}
    for label in LABELS:
        y = np.array([row[header.index("Target" + label)].strip().lower() for row in rows])
        folds = StratifiedKFold(n_splits=FOLDS, shuffle=True, random_state=1)
        models = {"sklearn tree": DecisionTreeClassifier(criterion="entropy", random_state=0),
                  "sklearn NB": CategoricalNB(min_categories=x.max(axis=0) + 1)}
        for name, model in models.items():
            result[(label, name)] = cross_val_score(model, x, y, cv=folds).mean()
    return result


def weka_accuracy(work, cli, methods, setting):
    """Weka's J48 and NaiveBayes, 10-fold, on the program's ARFF export of one target."""
    result = {}
    if not os.path.exists(WEKA_JAR):
        return result
    short = methods[0][0]
    for label in LABELS:
        arff = os.path.join(work, f"{label}-{setting}.arff")
        with open(arff, "w", encoding="utf-8") as f:
            f.write(cli.run("export", "--format", "arff", "--target", f"{label}_{short}").stdout)
        for name, klass in (("Weka J48", "weka.classifiers.trees.J48"),
                            ("Weka NB", "weka.classifiers.bayes.NaiveBayes")):
            done = subprocess.run(["java", "-Dfile.encoding=UTF-8", "-cp", WEKA_JAR, klass, "-t", arff,
                                   "-x", str(FOLDS), "-s", "1", "-o"], capture_output=True, text=True)
            lines = [l for l in done.stdout.splitlines() if l.startswith("Correctly Classified")]
            if done.returncode == 0 and lines:
                result[(label, name)] = float(lines[-1].split()[-2]) / 100
            else:
                print(f"  {name} failed on {label} ({setting}): {(done.stderr or done.stdout).strip()[:200]}")
    return result


def learning_curve(work, program, items, setting):
    """Kind's accuracy on the untaught files after N taught ones, averaged over draws.

    Taught by remember (the files examined as a user's would be); the rest
    predicted by classify --json and compared with their labels.
    """
    curve = {}
    for size in CURVE_SIZES:
        totals = {}
        for draw in range(CURVE_DRAWS):
            taught = set(random.Random(f"curve-{size}-{draw}").sample(range(len(items)), size))
            cli, methods = store_with_targets(work, f"curve-{setting}-{size}-{draw}", program, setting, ["kind"])
            remember(cli, [items[i] for i in sorted(taught)], {f"kind_{s}": "kind" for s, _ in methods})
            rest = [items[i] for i in range(len(items)) if i not in taught]
            want = {item["path"]: item["kind"] for item in rest}
            out = cli.run("classify", "--json", "-q", "-j", JOBS, "--from", "-",
                          stdin="\n".join(want) + "\n").stdout
            correct = {method: 0 for _, method in methods}
            for line in out.splitlines():
                entry = json.loads(line)
                for target in entry.get("targets", []):
                    if target["text"].strip().lower() == want[entry["path"]]:
                        correct[target["method"]] += 1
            for method, n in correct.items():
                totals.setdefault(method, []).append(n / len(rest))
            os.remove(cli.store)
        for method, shares in totals.items():
            curve[(method, size)] = sum(shares) / len(shares)
    return curve


def percent(value):
    return "   n/a" if value is None else f"{100 * value:6.1f}"


def print_label_table(label, program, peers):
    print(f"\n{label}: 10-fold accuracy, %")
    print(f"  {'method':<16}{'off':>7}{'on':>7}")
    for _, method in METHODS:
        print(f"  {method:<16}" + "".join(f" {percent(program[s].get((label, method)))}" for s in SETTINGS))
    for peer in ["sklearn tree", "sklearn NB", "Weka J48", "Weka NB"]:
        print(f"  {peer:<16}" + "".join(f" {percent(peers[s].get((label, peer)))}" for s in SETTINGS))


def print_curve(curves):
    print("\nkind: accuracy on the untaught files after N taught ones, %"
          f" (mean of {CURVE_DRAWS} draws)")
    print(f"  {'method':<16}{'':4}" + "".join(f"{n:>7}" for n in CURVE_SIZES))
    for _, method in METHODS:
        for setting in SETTINGS:
            print(f"  {method:<16}{setting:<4}"
                  + "".join(f" {percent(curves[setting].get((method, n)))}" for n in CURVE_SIZES))


def print_goals(program, curves):
    on = program["on"]
    goals = [(f"kind, {m}, 10-fold >= 98%", on.get(("kind", m)), 0.98) for m in ("Naive Bayes", "Decision tree")]
    goals.append(("kind, Decision tree, 32 taught >= 95%", curves["on"].get(("Decision tree", 32)), 0.95))
    for m in ("Naive Bayes", "Decision tree"):
        goals.append((f"bits, {m}, 10-fold = 100%", on.get(("bits", m)), 1.0))
        goals.append((f"builder, {m}, 10-fold >= 99%", on.get(("builder", m)), 0.99))
    print("\nGoals (header attributes on):")
    failed = 0
    for text, value, bound in goals:
        verdict = "n/a " if value is None else ("PASS" if value >= bound - 1e-9 else "FAIL")
        failed += verdict != "PASS"
        print(f"  {verdict}  {text:<40} {percent(value).strip()}")
    return failed


def main():
    corpus, program = sys.argv[1], sys.argv[2]
    items = read_labels(corpus)
    with tempfile.TemporaryDirectory(prefix="morvel-bench-") as work:
        header, rows = examined_rows(work, program, items)
        print(f"{len(items)} files, {sum(n.startswith('Header') for n in header)} header attributes")
        program_acc, peers, curves = {}, {}, {}
        for setting in SETTINGS:
            cli, methods, program_acc[setting] = program_accuracy(work, program, header, rows, setting)
            peers[setting] = {**sklearn_accuracy(header, rows, setting),
                              **weka_accuracy(work, cli, methods, setting)}
            curves[setting] = learning_curve(work, program, items, setting)
        missing = [m for _, m in METHODS if all((l, m) not in program_acc["on"] for l in LABELS)]
        if missing:
            print("methods this morvel-cli does not know: " + ", ".join(missing))
        for label in LABELS:
            print_label_table(label, program_acc, peers)
        print_curve(curves)
        return 1 if print_goals(program_acc, curves) else 0


if __name__ == "__main__":
    sys.exit(main())
