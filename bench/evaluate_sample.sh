#!/usr/bin/env bash
# Accuracy of the three methods on a generated sample: 600 executables of five
# kinds (installers, games, command-line tools, DOS programs, screen savers)
# with real MZ/PE/NE headers, sizes, dates and texts typical of each kind, and
# noise so that no attribute decides alone. The files are examined with
# `attributes --json`, stored through `import`, then `evaluate` runs 10-fold
# and leave-one-out cross-validation and `rank` lists the best attributes.
# Last, `classify` runs over the files with one worker and with two.
# Usage: bench/evaluate_sample.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
cli="$build/src/morvel-cli"
[ -x "$cli" ] || { echo "build morvel-cli first (scripts/setup)" >&2; exit 2; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
files="$work/files"
store="$work/store.sqlite"
mkdir -p "$files"

texts=("Nullsoft" "Inno Setup" "DirectX" "d3d9.dll" "opengl32.dll" "SCRNSAVE" "Usage:" "kernel32.dll"
       "GetProcAddress" "This program cannot be run in DOS mode" "UPX!" "install" "Copyright" "license"
       "mouse" "VGA" "Borland" "Microsoft" "Options:" "savegame")
"$cli" --store "$store" sequences set "${texts[@]}" >/dev/null
"$cli" --store "$store" targets add kind "Kind (ID3)" "ID3-based" >/dev/null
"$cli" --store "$store" targets add kind_nb "Kind (Naive Bayes)" "Naive Bayes" >/dev/null
"$cli" --store "$store" targets add kind_fb "Kind (Free Bayes)" "Free Bayes" >/dev/null

# The files (sparse: a head and a tail of real bytes, zeros between) and a
# list "path<TAB>kind".
python3 - "$files" > "$work/kinds.tsv" <<'PY'
import os, random, struct, sys, time
folder = sys.argv[1]
rng = random.Random(2026)

def pe(bits, gui=True):
    head = bytearray(512)
    head[0:2] = b"MZ"
    struct.pack_into("<I", head, 0x3C, 0x80)
    head[0x4E:0x4E + 38] = b"This program cannot be run in DOS mode"
    head[0x80:0x84] = b"PE\0\0"
    struct.pack_into("<H", head, 0x80 + 22, 0x0102)
    struct.pack_into("<H", head, 0x80 + 24, 0x20B if bits == 64 else 0x10B)
    struct.pack_into("<H", head, 0x80 + 24 + 68, 2 if gui else 3)
    return head

def ne():
    head = bytearray(512)
    head[0:2] = b"MZ"
    struct.pack_into("<I", head, 0x3C, 0x80)
    head[0x80:0x82] = b"NE"
    head[0x80 + 0x36] = 2
    return head

def dos(mouse):
    head = bytearray(b"MZ" + bytes(62)) if rng.random() < 0.5 else bytearray(64)
    if mouse:
        head += b"\xB8\x00\x00\xCD\x33"
    return head

KINDS = {
    # kind: (count, extensions, name stems, size range, years, header, texts with their chances)
    "installer": (150, ["exe"], ["setup", "install", "Setup_v", "installer", "update"], (600_000, 9_000_000),
                  (2012, 2024), lambda: pe(rng.choice([32, 32, 64])),
                  {"Nullsoft": .5, "Inno Setup": .45, "install": .85, "license": .7, "Copyright": .8,
                   "kernel32.dll": .9, "GetProcAddress": .8, "Microsoft": .3, "UPX!": .1}),
    "game": (130, ["exe"], ["game", "quake", "doom2", "racer", "chess", "tetris", "launcher"], (200_000, 20_000_000),
             (2004, 2022), lambda: pe(rng.choice([32, 64, 64])),
             {"DirectX": .6, "d3d9.dll": .5, "opengl32.dll": .4, "savegame": .55, "mouse": .4, "Copyright": .5,
              "kernel32.dll": .9, "GetProcAddress": .7, "license": .2}),
    "tool": (140, ["exe"], ["grep", "7z", "curl", "xcopy2", "sed", "wget", "zip"], (20_000, 900_000),
             (2008, 2024), lambda: pe(rng.choice([32, 64]), gui=False),
             {"Usage:": .8, "Options:": .7, "kernel32.dll": .9, "GetProcAddress": .6, "Copyright": .4,
              "license": .35, "Microsoft": .25, "UPX!": .15}),
    "dos": (100, ["com", "exe", "com"], ["DEBUG", "EDIT", "FORMAT", "NC", "VC", "PKZIP", "ARJ"], (500, 64_000),
            (1989, 1998), None,
            {"Borland": .4, "VGA": .35, "mouse": .3, "Copyright": .6, "Usage:": .2}),
    "screensaver": (80, ["scr"], ["Mystify", "Bubbles", "Ribbons", "Aquarium", "Starfield"], (30_000, 2_000_000),
                    (1998, 2015), lambda: pe(32) if rng.random() < 0.8 else ne(),
                    {"SCRNSAVE": .75, "opengl32.dll": .3, "DirectX": .2, "kernel32.dll": .7, "Microsoft": .5,
                     "Copyright": .5}),
}

ALL_TEXTS = sorted({text for kind in KINDS.values() for text in kind[6]})
n = 0
for kind, (count, exts, stems, (low, high), (y0, y1), header, chances) in KINDS.items():
    for i in range(count):
        n += 1
        stem = rng.choice(stems) + (str(rng.randint(1, 99)) if rng.random() < 0.5 else "")
        path = os.path.join(folder, f"{n:03d}", f"{stem}.{rng.choice(exts)}")
        os.makedirs(os.path.dirname(path))
        size = int(rng.uniform(low ** 0.5, high ** 0.5) ** 2)
        head = header() if header else dos(rng.random() < 0.4)
        body = bytearray()
        for text, chance in chances.items():
            if rng.random() < chance:
                body += text.encode() + b"\0"
        # Often texts of other kinds turn up too.
        for _ in range(rng.choice([0, 0, 1, 2, 3])):
            body += rng.choice(ALL_TEXTS).encode() + b"\0"
        data = bytes(head) + bytes(body)
        size = max(size, len(data) + 16)
        with open(path, "wb") as f:
            f.write(data)
            f.truncate(size)
            if size > (1 << 20):  # a tail where the examiner reads it
                f.seek(size - 4096)
                f.write(bytes(body[::-1]))
        year = rng.randint(y0, y1)
        stamp = time.mktime((year, rng.randint(1, 12), rng.randint(1, 28), rng.randint(0, 23), 0, 0, 0, 0, 0))
        os.utime(path, (stamp, stamp))
        print(f"{path}\t{kind}")
PY
cut -f1 "$work/kinds.tsv" > "$work/list.txt"
"$cli" --store "$store" attributes --json -q --from "$work/list.txt" > "$work/vectors.jsonl"

# The vectors and kinds as CSV, stored through import.
python3 - "$work/kinds.tsv" "$work/vectors.jsonl" "${texts[@]}" > "$work/sample.csv" <<'PY'
import csv, json, sys
kinds = dict(line.rstrip("\n").split("\t") for line in open(sys.argv[1]))
texts = sys.argv[3:]
out = csv.writer(sys.stdout, lineterminator="\r\n")
out.writerow([f"Standard{s}" for s in range(1, 17)] + ["Contain" + t for t in texts] +
             ["Targetkind", "Targetkind_nb", "Targetkind_fb"])
for line in open(sys.argv[2]):
    record = json.loads(line)
    assert record["ok"], record
    kind = kinds[record["path"]]
    out.writerow([v if v else "" for v in record["vector"]] + [kind, kind, kind])
PY
"$cli" --store "$store" import --format csv "$work/sample.csv"

echo
echo "== evaluate, 10 folds (seed 1)"
"$cli" --store "$store" evaluate
echo
echo "== evaluate, leave-one-out"
"$cli" --store "$store" evaluate --loo | grep -E "^[a-z]|accuracy"
echo
echo "== rank, the ten best attributes for kind"
"$cli" --store "$store" rank --target kind | sed -n '2,12p'
echo
run() {  # prints seconds
  local start end
  start=$(date +%s%N)
  "$@" > /dev/null
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN { printf "%.2f", ns / 1e9 }'
}
one=$(run "$cli" --store "$store" classify -q -j 1 --from "$work/list.txt")
two=$(run "$cli" --store "$store" classify -q -j 2 --from "$work/list.txt")
awk -v one="$one" -v two="$two" 'BEGIN {
  printf "== classify, 600 files against 600 examples, 3 targets\n"
  printf "1 worker:  %6.1f files/s (%s s)\n", 600 / one, one
  printf "2 workers: %6.1f files/s (%s s)\n", 600 / two, two
}'
