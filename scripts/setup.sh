#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine, as root.
# Idempotent: with everything in place it only checks and returns.
set -euo pipefail
cd "$(dirname "$0")/.."

deps_dir=.deps
lua_tarball=$deps_dir/lua5.3_5.3.6.orig.tar.gz

packages=$(sed -e 's/#.*//' -e '/^\s*$/d' scripts/packages.txt)
missing=()
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

sudo_if_needed() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

enable_deb_src() {
  # Debian 12 keeps its entries in deb822 form; a source copy of each binary entry is enough.
  local f=/etc/apt/sources.list.d/debian.sources
  if cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null \
      | grep -qE '^(Types:.*deb-src|deb-src )'; then
    return 1
  fi
  if [ -f "$f" ]; then
    sed -e 's/^Types: deb$/Types: deb-src/' "$f" | sudo_if_needed tee /etc/apt/sources.list.d/quarvelin-src.sources >/dev/null
  elif [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
      | sudo_if_needed tee /etc/apt/sources.list.d/quarvelin-src.list >/dev/null
  fi
  return 0
}

need_update=0
[ ${#missing[@]} -gt 0 ] && need_update=1
if [ ! -f "$lua_tarball" ]; then
  enable_deb_src && need_update=1
fi
# An apt-get source run also needs the source lists fetched once.
if [ ! -f "$lua_tarball" ] && ! ls /var/lib/apt/lists/*Sources* >/dev/null 2>&1; then
  need_update=1
fi

if [ $need_update = 1 ]; then
  sudo_if_needed apt-get update -qq -o DPkg::Lock::Timeout=600
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  # Another installer may hold the package lock (two checkouts set up at once): wait for it.
  DEBIAN_FRONTEND=noninteractive sudo_if_needed apt-get install -y -qq --no-install-recommends \
    -o DPkg::Lock::Timeout=600 "${missing[@]}"
fi

if [ ! -f "$lua_tarball" ]; then
  mkdir -p "$deps_dir"
  (cd "$deps_dir" && apt-get source --download-only lua5.3 >/dev/null)
  [ -f "$lua_tarball" ] || { echo "setup: $lua_tarball was not fetched" >&2; exit 1; }
fi
