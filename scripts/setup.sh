#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian 12 machine. Safe to run again.
set -euo pipefail
source "$(dirname "$0")/common.sh"
deps="$root/build/deps"
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"

# What every run needs: the 64-bit Wine loader runs the x86-64 build on every host; MinGW-w64 builds
# both architectures; osslsigncode, openssl, SoftHSM, the OpenSSL PKCS#11 engine and p11tool (which
# reads a token's certificate and public key) sign a release and its tests (scripts/make-update.sh).
packages=(wine wine64 cmake ninja-build g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools
          libz-mingw-w64-dev googletest xvfb xauth x11-apps dpkg-dev locales osslsigncode openssl
          softhsm2 libengine-pkcs11-openssl gnutls-bin)
extras=(imagemagick fonts-ipafont-gothic)
# The 32-bit loader runs the shipped i686 build, and only where the host executes 32-bit programs:
# elsewhere it is useless, and a mirror in mid-sync can refuse its i386 libraries for a while.
# Without it the i686 suite does not run (scripts/test.sh says why); nothing else depends on it.
wine32=wine32:i386

apt_install() {
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$@" >/dev/null
}

# apt-get update, tried three times: an index that still fails to download (a mirror in mid-sync)
# is tolerated here; whether the packages we want install from what arrived is seen below.
apt_update() {
  local attempt
  for attempt in 1 2 3; do
    (( attempt == 1 )) || sleep $((attempt * 3))
    $sudo apt-get update -qq 2>/tmp/peupdate-apt-update.log && return 0
  done
  echo "setup: some package indexes failed to download (kept what arrived):" \
       "$(grep -m1 '^E:' /tmp/peupdate-apt-update.log || echo 'no reason given')"
}

# Installs the packages named, each on its own when all at once fails, so that set-up stops
# naming exactly what could not be installed.
install_required() {
  local options=("$1") failed=() p
  shift
  apt_install "${options[@]}" "$@" 2>/dev/null && return 0
  for p in "$@"; do
    apt_install "${options[@]}" "$p" || failed+=("$p")
  done
  if (( ${#failed[@]} )); then
    echo "setup: cannot install ${failed[*]}, which every run needs; stopping" >&2
    exit 1
  fi
}

installed() { dpkg -s "$1" >/dev/null 2>&1; }

want_wine32=0
if host_executes_i386; then want_wine32=1; fi
missing=0
for p in "${packages[@]}" "${extras[@]}"; do
  installed "$p" || { missing=1; break; }
done
if (( want_wine32 )); then
  dpkg --print-foreign-architectures | grep -qx i386 || { $sudo dpkg --add-architecture i386; missing=1; }
  installed "$wine32" || missing=1
fi
if (( missing )); then
  apt_update
  install_required --install-recommends "${packages[@]}"
  install_required --no-install-recommends "${extras[@]}"
  if (( want_wine32 )) && ! installed "$wine32"; then
    apt_install "$wine32" 2>/tmp/peupdate-apt-wine32.log ||
      echo "setup: $wine32 cannot be installed now ($(grep -m1 '^E:' /tmp/peupdate-apt-wine32.log || echo 'no reason given')); going on without the i686 suite"
  fi
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
