#!/usr/bin/env bash
# Throughput of `morvel-cli attributes --json -r` against `yara -r` on the same
# folder: 2,000 files of mixed sizes (1 KiB to 5 MiB) and 100 search texts,
# which YARA gets as one rule of `nocase` strings. Prints files per second of
# both and their ratio. Usage: bench/throughput_vs_yara.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
cli="$build/src/morvel-cli"
[ -x "$cli" ] || { echo "build morvel-cli first (scripts/setup)" >&2; exit 2; }

if ! command -v yara >/dev/null; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q >/dev/null
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q yara >/dev/null
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
files="$work/files"
mkdir -p "$files"

# The texts: ASCII, so that both tools search the same bytes.
texts=()
for i in $(seq 1 100); do
  case $((i % 4)) in
    0) texts+=("LoadLibrary$i") ;;
    1) texts+=("This program cannot $i") ;;
    2) texts+=("kernel$((i * 7919))") ;;
    3) texts+=("Zq$i") ;;
  esac
done
texts[0]="MZ"; texts[1]="kernel32.dll"; texts[2]="GetProcAddress"

# 2,000 files, sizes spread log-uniformly from 1 KiB to 5 MiB, cut from one
# block of random bytes with a few of the texts planted.
python3 - "$files" <<'PY'
import math, os, random, sys
folder = sys.argv[1]
rng = random.Random(2026)
block = bytearray(os.urandom(6 << 20))
for at, text in [(0, b"MZ"), (4096, b"kernel32.dll"), (3 << 20, b"GetProcAddress")]:
    block[at:at + len(text)] = text
for i in range(2000):
    size = int(math.exp(rng.uniform(math.log(1024), math.log(5 << 20))))
    start = rng.randrange(0, len(block) - size)
    with open(os.path.join(folder, f"f{i:04d}.exe"), "wb") as f:
        f.write(block[start:start + size])
PY
total=$(du -sb "$files" | cut -f1)

store="$work/store.sqlite"
"$cli" --store "$store" sequences set "${texts[@]}" >/dev/null
{
  echo "rule sequences {"
  echo "  strings:"
  for i in "${!texts[@]}"; do printf '    $s%d = "%s" nocase\n' "$i" "${texts[$i]}"; done
  echo "  condition:"
  echo "    any of them"
  echo "}"
} > "$work/rule.yar"

run() {  # prints nanoseconds
  local start end
  start=$(date +%s%N)
  "$@" > /dev/null
  end=$(date +%s%N)
  echo $((end - start))
}
# Warm the page cache, then time each once.
cat "$files"/* > /dev/null
morvel=$(run "$cli" --store "$store" attributes --json -q -r "$files")
yara=$(run yara -r "$work/rule.yar" "$files")
awk -v m="$morvel" -v y="$yara" -v mib=$((total >> 20)) 'BEGIN {
  printf "files: 2000 (%d MiB)\n", mib
  printf "morvel-cli attributes: %8.1f files/s (%.2f s)\n", 2000 / (m / 1e9), m / 1e9
  printf "yara -r:               %8.1f files/s (%.2f s)\n", 2000 / (y / 1e9), y / 1e9
  printf "ratio (goal >= 2):     %8.2f\n", y / m
}' 
