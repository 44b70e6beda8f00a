#!/usr/bin/env bash
# Places the program inside a game root (root = the binary's folder with two
# levels cut off) and starts it there.
# Usage: run-root.sh PROGRAM ROOT [ARGUMENTS...]
set -euo pipefail
binary=$(realpath "$1")
root=$2
mkdir -p "$root/build/bin"
ln -f "$binary" "$root/build/bin/quarvelin" 2>/dev/null || cp -f "$binary" "$root/build/bin/quarvelin"
exec "$root/build/bin/quarvelin" "${@:3}"
