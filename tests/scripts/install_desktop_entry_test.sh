#!/usr/bin/env bash
# Installs the desktop entry into a temporary home, checks it, removes it.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
fake="$home/my apps/morvel"
mkdir -p "$(dirname "$fake")"
printf '#!/bin/sh\n' > "$fake"
chmod +x "$fake"

HOME="$home" XDG_DATA_HOME= "$root/scripts/install-desktop-entry" "$fake" >/dev/null
entry="$home/.local/share/applications/morvel.desktop"
grep -qx "Exec=\"$fake\" %f" "$entry" || { echo "Exec line wrong:"; cat "$entry"; exit 1; }
grep -qx "NoDisplay=true" "$entry"
grep -q "application/x-ms-dos-executable;" "$entry"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$entry"; fi
[ -f "$home/.local/share/icons/hicolor/scalable/apps/morvel.svg" ]
grep -q '\*.com' "$home/.local/share/mime/packages/morvel-executables.xml"

if HOME="$home" XDG_DATA_HOME= "$root/scripts/install-desktop-entry" "$home/missing" 2>/dev/null; then
  echo "a missing program was accepted"; exit 1
fi
HOME="$home" XDG_DATA_HOME= "$root/scripts/install-desktop-entry" --remove >/dev/null
[ ! -e "$entry" ] && [ ! -e "$home/.local/share/mime/packages/morvel-executables.xml" ] &&
  [ ! -e "$home/.local/share/icons/hicolor/scalable/apps/morvel.svg" ]
echo "install-desktop-entry: 1 passed, 0 failed"
