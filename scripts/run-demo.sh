#!/usr/bin/env bash
# Places the program inside the demo root (root = the binary's folder with two
# levels cut off) and starts it there.
set -euo pipefail
cd "$(dirname "$0")/.."
binary=$1
mkdir -p demo/build/bin
ln -f "$binary" demo/build/bin/quarvelin 2>/dev/null || cp -f "$binary" demo/build/bin/quarvelin
exec demo/build/bin/quarvelin "${@:2}"
