#!/usr/bin/env bash
# The layering check must fail on each kind of wrong include, and pass on a
# tree whose includes run one way.
set -euo pipefail
check="$(dirname "$0")/layering_test.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/core/store" "$tmp/core/classify" "$tmp/ui" "$tmp/cli"
echo '#include "core/platform/Status.h"' >"$tmp/core/store/A.h"
echo '#include "core/store/A.h"' >"$tmp/core/classify/D.h"
echo '#include "core/store/A.h"' >"$tmp/ui/B.h"
echo '#include "core/store/A.h"' >"$tmp/cli/C.h"
bash "$check" "$tmp" >/dev/null || { echo "a clean tree was refused"; exit 1; }

expect_refused() {
  local file=$1 line=$2
  cp "$tmp/$file" "$tmp/$file.bak"
  echo "$line" >>"$tmp/$file"
  if bash "$check" "$tmp" >/dev/null; then echo "not caught: $file: $line"; exit 1; fi
  mv "$tmp/$file.bak" "$tmp/$file"
}
expect_refused core/store/A.h '#include <QString>'
expect_refused core/store/A.h '#include "ui/frmMain.h"'
expect_refused core/store/A.h '  #  include "cli/Batch.h"'
expect_refused cli/C.h '#include <QtCore/QObject>'
expect_refused cli/C.h '#include "ui/toolkit.h"'
expect_refused ui/B.h '#include "cli/Cli.h"'
expect_refused core/store/A.h '#include "core/classify/D.h"'
expect_refused core/store/A.h '#include "core/exchange/RegFile.h"'
mkdir "$tmp/core/misc"
if bash "$check" "$tmp" >/dev/null; then echo "not caught: a core folder without a rank"; exit 1; fi
rmdir "$tmp/core/misc"
echo "the layering check catches every wrong include"
