#!/usr/bin/env bash
# Installs every package the build, the tests and the tools need (Debian 12).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  clang libclang-rt-14-dev
  zlib1g-dev libcurl4-openssl-dev libplist-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-x86-64 libz-mingw-w64-dev
  wine64 xvfb imagemagick x11-utils xauth xdotool
  dpkg-dev libgd-dev
  python3-pyftpdlib
)

sudo_cmd=()
[[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

# The Windows build compiles libjpeg-turbo and libgd from Debian's own source
# packages, so apt needs a source entry mirroring the machine's binary entry.
binary_sources=/etc/apt/sources.list.d/debian.sources
source_sources=/etc/apt/sources.list.d/debian-src.sources
need_update=0
if [[ -f $binary_sources && ! -f $source_sources ]]; then
  sed -e 's/^Types:.*/Types: deb-src/' "$binary_sources" | "${sudo_cmd[@]}" tee "$source_sources" >/dev/null
  need_update=1
fi

if ((${#missing[@]})) || ((need_update)); then
  "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 update
fi
if ((${#missing[@]})); then
  "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends "${missing[@]}"
fi
