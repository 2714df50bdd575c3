#!/usr/bin/env bash
# Makes the updater for a given Pelano5.exe: its version record, version information, manifest
# identity and title from that file's product version, the file packed as its payload. Reuses the
# compiled tree (building it first when it has not been built): only the resources and the final
# link are redone. The same tree and the same Pelano5.exe give the same bytes, unless signed.
#
# usage: scripts/make-update.sh NEW/Pelano5.exe OUT/PeUpdate.exe [--arch i686|x86_64] [--sign CERT.pem KEY.pem]
#   --arch   i686 (default) is what is shipped; x86_64 makes the same updater from the x86-64 build.
#   --sign   signs with Authenticode (SHA-256), without a time stamp, and verifies the signature
#            against CERT.pem, which holds the signing certificate and its chain up to the root.
set -euo pipefail
source "$(dirname "$0")/common.sh"

usage() {
  echo "usage: $0 NEW/Pelano5.exe OUT/PeUpdate.exe [--arch i686|x86_64] [--sign CERT.pem KEY.pem]" >&2
  exit 2
}
refuse() {
  echo "make-update: $*" >&2
  exit 1
}

(( $# >= 2 )) || usage
payload=$1 out=$2
shift 2
arch=i686 cert="" key=""
while (( $# )); do
  case $1 in
    --arch) (( $# >= 2 )) || usage; arch=$2; shift 2 ;;
    --sign) (( $# >= 3 )) || usage; cert=$2 key=$3; shift 3 ;;
    *) usage ;;
  esac
done
[[ $arch == i686 || $arch == x86_64 ]] || refuse "--arch is i686 or x86_64, not '$arch'"
[[ -f $payload ]] || refuse "$payload: no such file"
[[ -d $(dirname -- "$out") ]] || refuse "$(dirname -- "$out"): no such folder"
if [[ -n $cert ]]; then
  command -v osslsigncode >/dev/null || refuse "osslsigncode is not installed (scripts/setup.sh installs it)"
  [[ -f $cert ]] || refuse "$cert: no such certificate file"
  [[ -f $key ]] || refuse "$key: no such key file"
fi
payload=$(realpath -- "$payload")

build="$root/build/$arch"
release="$build/release"
part="$out.part.$$"
log=$(mktemp)
trap 'rm -f -- "$part" "$log"' EXIT
# quietly WHAT COMMAND...: runs the command, and shows what it said only when it fails.
quietly() {
  local what=$1
  shift
  "$@" >"$log" 2>&1 || { cat "$log" >&2; refuse "$what failed"; }
}

# One release at a time per build folder: they share its build and its release folder.
mkdir -p "$release"
exec 9>"$release/lock"
flock 9

# The compiled code: built once, brought up to date when the tree has changed.
if [[ ! -f $build/build.ninja ]]; then
  echo "make-update: building the $arch tree first"
  quietly "building the tree" build_tree "$arch" PeUpdateMain app art
else
  quietly "building the tree" cmake --build "$build" --target PeUpdateMain app art
fi

rm -rf "$release/resources" "$release/PeUpdate.exe"
python3 "$root/tools/updater_resources.py" "$payload" "$release/resources" \
  --manifest "$build/resources/PeUpdate.manifest.in" >"$log" 2>&1 || refuse "$(cat "$log")"
made=$(cat "$log")
quietly "linking the updater" cmake --build "$build" --target PeUpdateRelease

if [[ -n $cert ]]; then
  quietly "signing" osslsigncode sign -certs "$cert" -key "$key" -h sha256 -in "$release/PeUpdate.exe" -out "$part"
  # No network here: the certificates' revocation lists are not fetched.
  osslsigncode verify -CAfile "$cert" -ignore-cdp -in "$part" >"$log" 2>&1 ||
    { cat "$log" >&2; refuse "the signature does not verify against $cert"; }
else
  cp "$release/PeUpdate.exe" "$part"
fi
mv -f -- "$part" "$out"
echo "make-update: $made"
echo "make-update: $out ($arch${cert:+, signed}) sha256 $(sha256sum "$out" | cut -d' ' -f1)"
