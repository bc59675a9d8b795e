#!/usr/bin/env bash
# The layer check must pass on a tree that keeps the order and fail on one
# where a lower folder reaches up, so that a green check means something.
set -euo pipefail
check="$(dirname "$0")/../../scripts/check-layers.sh"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/base" "$tree/http" "$tree/driver"
printf '#include "base/TextUtils.h"\n#include "wrenfield/Media.h"\n' > "$tree/http/Good.cpp"
printf '#include <string>\n' > "$tree/base/TextUtils.h"
"$check" "$tree" >/dev/null || { echo "FAIL: an ordered tree was refused"; exit 1; }
printf '  #  include "driver/IDriver.h"\n' > "$tree/http/Bad.h"
if "$check" "$tree" 2>/dev/null >/dev/null; then echo "FAIL: a reverse include passed"; exit 1; fi
rm "$tree/http/Bad.h"
printf '#include "http/Good.h"\n' > "$tree/base/Up.cpp"
if "$check" "$tree" 2>/dev/null >/dev/null; then echo "FAIL: base reaching http passed"; exit 1; fi
echo "check-layers-test: passed"
