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

# host_executes_i386: true when the kernel executes 32-bit x86 programs. Some kernels run 64-bit
# user programs only (no IA-32 emulation: execve gives "Exec format error"). The probe needs no
# package: a static i386 ELF of 93 bytes (header, one loadable segment, then xor ebx,ebx;
# mov bl,42; xor eax,eax; inc eax; int 0x80) that exits with 42. PEUPDATE_REHEARSE_64_ONLY=1
# makes this host answer as such a host would, to rehearse that case where 32-bit programs do run.
host_executes_i386() {
  [[ -z "${PEUPDATE_REHEARSE_64_ONLY:-}" ]] || return 1
  local elf='7f454c46010101000000000000000000020003000100000054800408340000000000000000000000'
  elf+='340020000100000000000000010000000000000000800408008004085d0000005d0000000500000000100000'
  elf+='31dbb32a31c040cd80'
  local probe status=0
  mkdir -p "$root/build"
  probe=$(mktemp -p "$root/build" i386-probe.XXXXXX)
  printf "$(sed 's/../\\x&/g' <<<"$elf")" >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  (( status == 42 ))
}

# host_runs_i686: true when 32-bit Wine runs here; otherwise false, with the reason in
# $i686_refusal: the host cannot execute 32-bit programs, or set-up could not install the 32-bit
# loader (a package mirror in mid-sync refuses wine32:i386 for a while).
host_runs_i686() {
  if [[ -n "${PEUPDATE_REHEARSE_64_ONLY:-}" ]]; then
    i686_refusal="PEUPDATE_REHEARSE_64_ONLY is set: rehearsing a host without 32-bit execution"
    return 1
  fi
  if ! host_executes_i386; then
    i686_refusal="this host cannot execute 32-bit programs (a static i386 probe did not run)"
    return 1
  fi
  if [[ ! -x /usr/lib/wine/wine ]]; then
    i686_refusal="32-bit Wine is not installed: set-up could not install wine32:i386 from the package mirror"
    return 1
  fi
  local answer
  if answer=$(/usr/lib/wine/wine --version 2>&1); then
    return 0
  fi
  i686_refusal="the 32-bit Wine loader does not start (/usr/lib/wine/wine: ${answer:-no answer})"
  i686_refusal=${i686_refusal//$'\n'/ }
  return 1
}

# The architecture that the host runs best: the shipped i686 where it can, else x86_64.
runnable_arch() {
  if host_runs_i686; then echo i686; else echo x86_64; fi
}
