#!/usr/bin/env bash
# Builds libjpeg-turbo and libgd (JPEG only) as static x86_64-w64-mingw32
# libraries from Debian's source packages; skips the work when already installed.
# Usage: build-deps.sh PREFIX TOOLCHAIN_FILE
set -euo pipefail

prefix=$1
toolchain=$2
stamp=$prefix/.complete
if [[ -f $stamp && -f $prefix/lib/libgd.a && -f $prefix/lib/libjpeg.a ]]; then
  exit 0
fi

work=$prefix.work
rm -rf "$work" "$prefix"
mkdir -p "$work"
cd "$work"

# Sources: apt needs a deb-src entry (tools/setup-machine.sh adds it).
apt-get source -qq libgd2 libjpeg-turbo >source.log 2>&1 || {
  cat source.log >&2
  echo "build-deps: apt-get source failed; run tools/setup-machine.sh first" >&2
  exit 1
}
jpeg_src=$(find . -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)
gd_src=$(find . -maxdepth 1 -type d -name 'libgd2-*' | head -n 1)
[[ -n $jpeg_src && -n $gd_src ]] || { echo "build-deps: unpacked sources not found" >&2; exit 1; }

jobs=$(nproc)

echo "build-deps: libjpeg-turbo"
cmake -S "$jpeg_src" -B jpeg-build -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_SYSTEM_PROCESSOR=AMD64 \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
  -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF \
  >jpeg-configure.log 2>&1 || { tail -n 40 jpeg-configure.log >&2; exit 1; }
cmake --build jpeg-build -j "$jobs" >jpeg-build.log 2>&1 || { tail -n 40 jpeg-build.log >&2; exit 1; }
cmake --install jpeg-build >jpeg-install.log 2>&1 || { tail -n 40 jpeg-install.log >&2; exit 1; }

echo "build-deps: libgd (JPEG only)"
zlib_root=/usr/x86_64-w64-mingw32
cmake -S "$gd_src" -B gd-build -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON \
  -DENABLE_JPEG=ON -DENABLE_PNG=OFF -DENABLE_FREETYPE=OFF -DENABLE_FONTCONFIG=OFF \
  -DENABLE_TIFF=OFF -DENABLE_WEBP=OFF -DENABLE_XPM=OFF -DENABLE_HEIF=OFF \
  -DENABLE_AVIF=OFF -DENABLE_LIQ=OFF -DENABLE_ICONV=OFF -DENABLE_RAQM=OFF \
  -DJPEG_INCLUDE_DIR="$prefix/include" -DJPEG_LIBRARY="$prefix/lib/libjpeg.a" \
  -DZLIB_INCLUDE_DIR="$zlib_root/include" -DZLIB_LIBRARY="$zlib_root/lib/libz.a" \
  -DCMAKE_C_FLAGS="-DBGDWIN32 -DNONDLL" \
  >gd-configure.log 2>&1 || { tail -n 40 gd-configure.log >&2; exit 1; }
cmake --build gd-build -j "$jobs" --target gd_static >gd-build.log 2>&1 \
  || cmake --build gd-build -j "$jobs" >>gd-build.log 2>&1 || { tail -n 40 gd-build.log >&2; exit 1; }

# libgd's install rule wants every target; copy the static library and headers.
mkdir -p "$prefix/lib" "$prefix/include"
gd_lib=$(find gd-build -name 'libgd*.a' | head -n 1)
[[ -n $gd_lib ]] || { echo "build-deps: libgd.a not built" >&2; exit 1; }
cp "$gd_lib" "$prefix/lib/libgd.a"
for header in gd.h gd_io.h gd_errors.h gd_color_map.h gdfx.h entities.h gdcache.h; do
  [[ -f $gd_src/src/$header ]] && cp "$gd_src/src/$header" "$prefix/include/"
done
cp gd-build/src/gdpp.h "$prefix/include/" 2>/dev/null || true
cp "$gd_src"/src/gd_color_map.h "$prefix/include/" 2>/dev/null || true

cd /
rm -rf "$work"
touch "$stamp"
echo "build-deps: installed in $prefix"
