#!/usr/bin/env bash
# Installs everything the build and the tests need, idempotently: Debian
# packages, then jsoncpp cross-built from Debian's source package for both
# MinGW triplets. Quick and quiet when all is already there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
deps="$root/build/deps"

packages=(
  cmake ninja-build python3 git
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
  libz-mingw-w64-dev zlib1g-dev
  wine wine64 wine32:i386
  xvfb xauth x11-utils x11-xserver-utils
  nginx-light openssl aria2 curl
  imagemagick fonts-noto-core fonts-noto-cjk fonts-dejavu-core
  clang-14 libclang-rt-14-dev googletest dpkg-dev icoutils binutils-mingw-w64-i686
  file xdotool osslsigncode xcompmgr xclip
  librsvg2-bin
)
. "$root/tools/apt-install.sh"

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ -n "${need_update:-}" ]; then
  echo "setup: installing ${missing[*]:-}"
  export DEBIAN_FRONTEND=noninteractive
  apt_update_with_retries
  apt_install "${missing[@]}" || exit 1
fi

# jsoncpp has no MinGW package: build Debian's source with each cross compiler.
build_jsoncpp() {
  local triplet=$1
  local prefix="$deps/$triplet"
  # The stamp names the flags: a library built with others is built again.
  local stamp="$prefix/lib/varno-jsoncpp-flags-$jsoncpp_flags_version"
  [ -f "$prefix/lib/libjsoncpp.a" ] && [ -f "$stamp" ] && return 0
  local src_root="$deps/src"
  if ! ls -d "$src_root"/libjsoncpp-*/ >/dev/null 2>&1; then
    if ! grep -rqs '^Types: deb-src' /etc/apt/sources.list.d/; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
        > /etc/apt/sources.list.d/debian-src.sources
      apt_update_with_retries
    fi
    mkdir -p "$src_root"
    (cd "$src_root" && apt-get source -qq libjsoncpp >/dev/null 2>&1)
  fi
  local src
  src=$(ls -d "$src_root"/libjsoncpp-*/ | head -n1)
  echo "setup: building jsoncpp for $triplet"
  rm -rf "$deps/build-jsoncpp-$triplet" "$prefix/lib/varno-jsoncpp-flags-"*
  # Sections per function and datum: the installer's link keeps only what
  # it uses (the stream writers would pull in all of iostreams and locales).
  cmake -S "$src" -B "$deps/build-jsoncpp-$triplet" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$triplet.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_CXX_FLAGS="-ffunction-sections -fdata-sections" \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF \
    -DJSONCPP_WITH_EXAMPLE=OFF -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON \
    -DBUILD_OBJECT_LIBS=OFF -DJSONCPP_WITH_PKGCONFIG_SUPPORT=OFF >/dev/null
  cmake --build "$deps/build-jsoncpp-$triplet" >/dev/null
  cmake --install "$deps/build-jsoncpp-$triplet" >/dev/null
  touch "$stamp"
}
jsoncpp_flags_version=2
build_jsoncpp i686-w64-mingw32
build_jsoncpp x86_64-w64-mingw32
