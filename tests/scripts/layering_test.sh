#!/usr/bin/env bash
# Fails when an include runs against the layers: core includes nothing of
# ui/ or cli/ and no Qt header; cli includes no ui/ and no Qt; ui includes no
# cli/. Inside core the folders are ranked, and a file includes only its own
# folder and those ranked below it. Usage: layering_test.sh [SRC_FOLDER]
# (default: the repository's src/).
set -uo pipefail
src="${1:-$(cd "$(dirname "$0")/../../src" && pwd)}"
status=0

# Prints every include line under folder that matches pattern, and fails the test.
forbid() {
  local folder=$1 pattern=$2 why=$3 hits
  [ -d "$src/$folder" ] || return 0
  hits=$(grep -rnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"]($pattern)" "$src/$folder" \
    --include='*.h' --include='*.cpp')
  if [ -n "$hits" ]; then
    echo "$why:"
    echo "$hits"
    status=1
  fi
}

forbid core 'ui/|cli/|app/' "core includes a higher layer"
forbid core 'Q[A-Za-z]+|qt' "core includes Qt"
forbid cli 'ui/|app/' "cli includes the windows"
forbid cli 'Q[A-Za-z]+|qt' "cli includes Qt"
forbid ui 'cli/|app/' "ui includes the command line"

# The core's folders, lowest first.
core_rooms=(platform store config attributes examples classify exchange)
for ((i = 0; i < ${#core_rooms[@]}; ++i)); do
  room=${core_rooms[i]}
  [ -d "$src/core/$room" ] || continue
  above=$(IFS='|'; echo "${core_rooms[*]:i+1}")
  [ -n "$above" ] && forbid "core/$room" "core/($above)/" "core/$room includes a folder ranked above it"
done
# A folder of core that the ranking does not know is a folder nobody ranked.
for folder in "$src"/core/*/; do
  name=$(basename "$folder")
  [[ " ${core_rooms[*]} " == *" $name "* ]] || { echo "core/$name is not ranked in $0"; status=1; }
done

[ $status -eq 0 ] && echo "layers: every include runs one way"
exit $status
