#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian 12 machine. Safe to run again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
deps="$root/build/deps"
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"

# Both Wine loaders: the 64-bit one runs the x86-64 build on every host; the 32-bit one runs the
# shipped i686 build where the host can execute 32-bit programs (installing it is harmless elsewhere).
# osslsigncode and openssl sign a release and make the test's certificate (scripts/make-update.sh).
packages=(wine wine32:i386 wine64 cmake ninja-build g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools
          libz-mingw-w64-dev googletest xvfb xauth x11-apps dpkg-dev locales osslsigncode openssl)
extras=(imagemagick fonts-ipafont-gothic)

missing=0
dpkg --print-foreign-architectures | grep -qx i386 || missing=1
for p in "${packages[@]}" "${extras[@]}"; do
  dpkg -s "${p%%:*}" >/dev/null 2>&1 || { missing=1; break; }
done
if (( missing )); then
  $sudo dpkg --add-architecture i386
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${packages[@]}" >/dev/null
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${extras[@]}" >/dev/null
fi

# The tests also run under code page 932, which Wine takes from a Japanese UTF-8 locale; without
# the locale generated, Wine cannot name files in Japanese.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  $sudo sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi

# libjpeg-turbo: Debian's source package, fetched once through a private apt configuration so the
# machine's own sources stay untouched, and cross-built statically for each architecture into
# build/deps/jpeg-ARCH. Only the decoder is linked, built for size: the updater decodes at most one
# picture, and its executable's size counts. NO_GETENV: no memory limit taken from the environment
# (and no scanf linked in for reading it). A change of these options rebuilds the library.
jpeg_options=(-DCMAKE_BUILD_TYPE=MinSizeRel "-DCMAKE_C_FLAGS=-ffunction-sections -fdata-sections -DNO_GETENV"
              -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF -DWITH_ARITH_ENC=OFF)
jpeg_source="$deps/src/libjpeg-turbo"
fetch_jpeg_source() {
  [[ -f "$jpeg_source/CMakeLists.txt" ]] && return
  local apt_dir="$deps/apt"
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$deps/src"
  cat > "$apt_dir/debian-src.sources" <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  local aptopts=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt_dir"
                 -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache="$apt_dir/cache")
  apt-get "${aptopts[@]}" update -qq
  (cd "$deps/src" && apt-get "${aptopts[@]}" source --download-only -qq libjpeg-turbo 2>&1 | grep -v unsandboxed || true)
  local tarball
  tarball=$(ls "$deps"/src/libjpeg-turbo_*.orig.tar.gz | head -1)
  rm -rf "$jpeg_source"
  mkdir -p "$jpeg_source"
  tar -xzf "$tarball" -C "$jpeg_source" --strip-components=1
}
for arch in i686 x86_64; do
  jpeg_prefix="$deps/jpeg-$arch"
  if [[ ! -f "$jpeg_prefix/lib/libjpeg.a" || "$(cat "$jpeg_prefix/options" 2>/dev/null)" != "${jpeg_options[*]}" ]]; then
    fetch_jpeg_source
    rm -rf "$deps/jpeg-build-$arch"
    cmake -S "$jpeg_source" -B "$deps/jpeg-build-$arch" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" -DCMAKE_INSTALL_PREFIX="$jpeg_prefix" \
      "${jpeg_options[@]}" -Wno-dev >/dev/null
    cmake --build "$deps/jpeg-build-$arch" --target install >/dev/null
    echo "${jpeg_options[*]}" >"$jpeg_prefix/options"
  fi
done
echo "setup: done"
