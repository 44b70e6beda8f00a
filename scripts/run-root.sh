#!/usr/bin/env bash
# Places the program inside a game root (root = the binary's folder with two
# levels cut off) and starts it there.
# Usage: run-root.sh PROGRAM ROOT [ARGUMENTS...]
set -euo pipefail
binary=$(realpath "$1")
root=$2
mkdir -p "$root/build/bin"
ln -f "$binary" "$root/build/bin/quarvelin" 2>/dev/null || cp -f "$binary" "$root/build/bin/quarvelin"
# The web-view module, loaded beside the program when a game opens a view.
module=$(dirname "$binary")/quarvelin_webview.so
if [[ -f $module ]]; then
  ln -f "$module" "$root/build/bin/" 2>/dev/null || cp -f "$module" "$root/build/bin/"
fi
exec "$root/build/bin/quarvelin" "${@:3}"
