#!/usr/bin/env bash
# Builds the labelled corpus of real Windows executables that
# header_accuracy.sh measures against.
#
# Usage: bench/make_corpus.sh OUTDIR
#
# About 400 files, made afresh on every run from generated sources (the
# sources and build options come from fixed seeds in bench/corpus.py):
#   - console and GUI programs and DLLs from MinGW-w64, 32 and 64 bit, C and a
#     few C++, -O0/-O1/-O2/-Os, some stripped, some with static libgcc, some
#     with version resources and manifests made by windres;
#   - kernel drivers (.sys): MinGW-w64 with -nostdlib, subsystem native,
#     entry DriverEntry, linked against its libntoskrnl.a;
#   - NSIS installers from small generated scripts (compressors, Unicode,
#     RequestExecutionLevel admin/user/highest, payloads, uninstallers);
#   - .NET assemblies from mcs: exe, winexe and library, AnyCPU/x86/x64;
#   - a fixed sample (sorted by name, every k-th, at most 4 MiB each) of the
#     PE files that Debian's Wine ships in /usr/lib/x86_64-linux-gnu/wine.
# Some MinGW, NSIS and .NET files are signed by osslsigncode with a
# self-signed key that this script makes with openssl in OUTDIR/key.
#
# OUTDIR/labels.tsv then lists each file as PATH<TAB>kind<TAB>bits<TAB>builder,
# kind one of console, gui, installer, library, driver; bits 32 or 64 (an
# AnyCPU assembly is PE32 and counts as 32); builder MinGW, NSIS, .NET or Wine.
# The labels say how each file was made; each is checked against the file's
# own headers (subsystem, DLL flag, machine, CLR header, certificate table)
# and a file whose headers disagree is reported and left out.
#
# Needs (Debian 12): gcc-mingw-w64-x86-64 gcc-mingw-w64-i686
# g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64 nsis mono-mcs
# osslsigncode openssl wine64 (or wine) python3. Nothing is installed here.
# Builds run two at a time; about 75 to 110 seconds on two cores. Every
# unsigned file comes out the same on each run; the signed ones differ by
# their key, which is made afresh.
set -euo pipefail

if [ $# -ne 1 ]; then
  sed -n '2,/^set -e/p' "$0" | sed '$d; s/^# \{0,1\}//'
  exit 2
fi
here="$(cd "$(dirname "$0")" && pwd)"
out="$1"
python=/usr/bin/python3
wine_dir=/usr/lib/x86_64-linux-gnu/wine

missing=()
need() { command -v "$1" >/dev/null || missing+=("$2"); }
need x86_64-w64-mingw32-gcc gcc-mingw-w64-x86-64
need i686-w64-mingw32-gcc gcc-mingw-w64-i686
need x86_64-w64-mingw32-g++ g++-mingw-w64-x86-64
need i686-w64-mingw32-g++ g++-mingw-w64-i686
need x86_64-w64-mingw32-windres binutils-mingw-w64
need makensis nsis
need mcs mono-mcs
need osslsigncode osslsigncode
need openssl openssl
need "$python" python3
[ -d "$wine_dir/x86_64-windows" ] || missing+=("wine64")
if [ ${#missing[@]} -gt 0 ]; then
  echo "make_corpus: missing tools; install them with:" >&2
  echo "  apt-get install -y ${missing[*]}" >&2
  exit 1
fi

# A fresh corpus every time: nothing of an earlier run is reused. Only an
# empty folder or an earlier corpus (it has expected.tsv) is cleared.
if [ -e "$out" ] && [ -n "$(ls -A "$out" 2>/dev/null)" ] && [ ! -f "$out/expected.tsv" ]; then
  echo "make_corpus: $out is neither empty nor an earlier corpus; not clearing it" >&2
  exit 2
fi
rm -rf "$out"
mkdir -p "$out/key"
start=$SECONDS
openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Morvel bench signer" \
  -keyout "$out/key/key.pem" -out "$out/key/cert.pem" 2>/dev/null

"$python" "$here/corpus.py" plan "$out" "$wine_dir"
# Each line of jobs.txt is one file's whole build, run in OUTDIR; a failing build is
# reported and leaves no file, which the check below then lists.
(cd "$out" && xargs -P2 -d '\n' -n1 bash -c 'err="$(eval "$1" 2>&1 >/dev/null)" || printf "build failed: %s\n%s\n" "$1" "$err"' bash \
  <jobs.txt >build-errors.txt)
if [ -s "$out/build-errors.txt" ]; then
  echo "make_corpus: $(grep -c '^build failed' "$out/build-errors.txt") builds failed, see $out/build-errors.txt" >&2
fi
"$python" "$here/corpus.py" check "$out"
echo "make_corpus: $(wc -l <"$out/labels.tsv") files in $((SECONDS - start)) s"
cut -f2 "$out/labels.tsv" | sort | uniq -c | sed 's/^/  kind    /'
cut -f3 "$out/labels.tsv" | sort | uniq -c | sed 's/^/  bits    /'
cut -f4 "$out/labels.tsv" | sort | uniq -c | sed 's/^/  builder /'
