# Sourced by the scripts beside it: the tree's build folders, one per architecture, and the probe
# that tells whether this host can execute 32-bit programs.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# build_tree ARCH [TARGET...]: configures build/ARCH with that architecture's toolchain and builds.
build_tree() {
  local arch=$1
  shift
  local launcher=()
  # Where ccache is installed, compilations are shared between build folders and work trees.
  if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR="$root"
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$root" -B "$root/build/$arch" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
    "${launcher[@]}" -Wno-dev >/dev/null
  if (( $# )); then
    cmake --build "$root/build/$arch" --target "$@"
  else
    cmake --build "$root/build/$arch"
  fi
}

# host_runs_i686: true when the 32-bit Wine loader starts on this host; otherwise false, with the
# reason in $i686_refusal. Some kernels run 64-bit user programs only (no IA-32 emulation), and
# there the loader fails with "Exec format error". PEUPDATE_REHEARSE_64_ONLY=1 makes this host answer
# as such a host would, to rehearse that case where 32-bit programs do run.
host_runs_i686() {
  if [[ -n "${PEUPDATE_REHEARSE_64_ONLY:-}" ]]; then
    i686_refusal="PEUPDATE_REHEARSE_64_ONLY is set: rehearsing a host without 32-bit execution"
    return 1
  fi
  local answer
  if answer=$(/usr/lib/wine/wine --version 2>&1); then
    return 0
  fi
  i686_refusal="this host cannot execute 32-bit programs (/usr/lib/wine/wine: ${answer:-no answer})"
  i686_refusal=${i686_refusal//$'\n'/ }
  return 1
}

# The architecture that the host runs best: the shipped i686 where it can, else x86_64.
runnable_arch() {
  if host_runs_i686; then echo i686; else echo x86_64; fi
}
