#!/usr/bin/env bash
# Makes the updater for a given Pelano5.exe: its version record, version information, manifest
# identity and title from that file's product version, the file packed as its payload. Reuses the
# compiled tree (building it first when it has not been built): only the resources and the final
# link are redone. The same tree and the same Pelano5.exe give the same bytes, unless signed.
# Beside OUT it writes OUT.release.txt, the record of what was released.
#
# usage: scripts/make-update.sh NEW/Pelano5.exe OUT/PeUpdate.exe [--arch i686|x86_64]
#          [--sign CERT KEY --ca ROOT.pem [--pkcs11-module LIB] [--timestamp URL [--timestamp-ca TSA-ROOT.pem]]]
#   --arch           i686 (default) is what is shipped; x86_64 makes the same updater from the x86-64 build.
#   --sign           signs with Authenticode (SHA-256). CERT is a PEM file (the signing certificate
#                    first, then the chain below the root) or a PKCS#11 URI (pkcs11:token=...;object=...)
#                    of the certificate on a token; KEY is an unencrypted PEM key or the key's PKCS#11
#                    URI. A token's PIN comes from PEUPDATE_PKCS11_PIN, else from a prompt.
#   --ca             the root the signature must chain to: the only trust anchor of the checks.
#   --pkcs11-module  the token's PKCS#11 module, needed when CERT or KEY is a URI.
#   --timestamp      adds an RFC 3161 time stamp from this authority; without one, Windows stops
#                    accepting the signature when the certificate expires.
#   --timestamp-ca   the time-stamp authority's root, when the system's trusted roots lack it.
# Before anything is signed it refuses a certificate that is expired, not yet valid, without the
# code-signing extended key usage or not chaining to ROOT.pem, and a key that does not match it.
set -euo pipefail
source "$(dirname "$0")/common.sh"

usage() {
  sed -n 's/^# \{0,1\}//; /^usage:/,/^  *--timestamp-ca/p' "$0" | sed '/^  *--arch /,$d' >&2
  exit 2
}
refuse() {
  echo "make-update: $*" >&2
  exit 1
}

(( $# >= 2 )) || usage
payload=$1 out=$2
shift 2
arch=i686 cert="" key="" ca="" module="" timestamp="" timestamp_ca=""
while (( $# )); do
  case $1 in
    --arch) (( $# >= 2 )) || usage; arch=$2; shift 2 ;;
    --sign) (( $# >= 3 )) || usage; cert=$2 key=$3; shift 3 ;;
    --ca) (( $# >= 2 )) || usage; ca=$2; shift 2 ;;
    --pkcs11-module) (( $# >= 2 )) || usage; module=$2; shift 2 ;;
    --timestamp) (( $# >= 2 )) || usage; timestamp=$2; shift 2 ;;
    --timestamp-ca) (( $# >= 2 )) || usage; timestamp_ca=$2; shift 2 ;;
    *) usage ;;
  esac
done
[[ $arch == i686 || $arch == x86_64 ]] || refuse "--arch is i686 or x86_64, not '$arch'"
[[ -f $payload ]] || refuse "$payload: no such file"
[[ -d $(dirname -- "$out") ]] || refuse "$(dirname -- "$out"): no such folder"
[[ -n $cert || -z $ca$module$timestamp$timestamp_ca ]] || refuse "--ca, --pkcs11-module and --timestamp go with --sign"
[[ -z $timestamp_ca || -n $timestamp ]] || refuse "--timestamp-ca goes with --timestamp"
payload=$(realpath -- "$payload")

build="$root/build/$arch"
release="$build/release"
part="$out.part.$$"
record_part="$out.release.txt.part.$$"
work=$(mktemp -d)
log="$work/log"
trap 'rm -rf -- "$part" "$record_part" "$work"' EXIT
# quietly WHAT COMMAND...: runs the command, and shows what it said only when it fails.
quietly() {
  local what=$1
  shift
  "$@" >"$log" 2>&1 || { cat "$log" >&2; refuse "$what failed"; }
}
utc() {
  date -u -d "$1" '+%Y-%m-%d %H:%M:%S UTC'
}
size_and_sha256() {
  echo "$(stat -c %s -- "$1") bytes, sha256 $(sha256sum <"$1" | cut -d' ' -f1)"
}

is_uri() {
  [[ $1 == pkcs11:* ]]
}
# of_type URI TYPE: the URI, naming the object's type when it names none (a certificate and its key
# usually share a label).
of_type() {
  local path=${1%%\?*}
  local query=${1#"$path"}
  [[ ";${path#pkcs11:}" == *";type="* ]] || path+=";type=$2"
  echo "$path$query"
}
# on_token P11TOOL-ARGS... --outfile FILE: p11tool logged in to the token, the PIN in its environment
# only (without --outfile it waits 3 s before it writes to the terminal).
on_token() {
  GNUTLS_PIN=$pin p11tool --provider "$module" --login "$@" </dev/null 2>"$log" ||
    refuse "the token: $(tail -1 "$log")"
}
# The PIN reaches the two programs that use it through their environment and their input (a
# here-string, which bash passes through a pipe), never a command line; no other program started
# here sees it.
pin=${PEUPDATE_PKCS11_PIN-}
export -n PEUPDATE_PKCS11_PIN

# The certificate and the key, checked before anything is built or signed.
if [[ -n $cert ]]; then
  command -v osslsigncode >/dev/null || refuse "osslsigncode is not installed (scripts/setup.sh installs it)"
  [[ -n $ca ]] || refuse "--sign needs --ca ROOT.pem, the root the signature must chain to"
  [[ -f $ca ]] || refuse "$ca: no such root certificate file"
  [[ -z $timestamp_ca || -f $timestamp_ca ]] || refuse "$timestamp_ca: no such root certificate file"
  if is_uri "$cert" || is_uri "$key"; then
    [[ $cert$key != *pin-value=* ]] || refuse "the token's PIN goes in PEUPDATE_PKCS11_PIN or at the prompt, not in a URI"
    is_uri "$key" || refuse "a certificate on a token is used with its key on the token"
    [[ -n $module ]] || refuse "a PKCS#11 URI needs --pkcs11-module LIB, the token's module"
    [[ -f $module ]] || refuse "$module: no such PKCS#11 module"
    engines=$(openssl version -e | sed 's/^[^"]*"\(.*\)"$/\1/')
    [[ -f $engines/pkcs11.so ]] && command -v p11tool >/dev/null ||
      refuse "the OpenSSL PKCS#11 engine or p11tool is not installed (scripts/setup.sh installs them)"
    if [[ -z $pin ]]; then
      [[ -t 0 ]] || refuse "the token's PIN: set PEUPDATE_PKCS11_PIN, or run on a terminal to be asked"
      read -rsp "make-update: PIN of the token: " pin
      echo >&2
    fi
  fi
  given=$cert signer="$work/signer.pem"
  if is_uri "$cert"; then
    given="$work/token.pem"
    on_token --export "$(of_type "$cert" cert)" --outfile "$given"
  else
    [[ -f $cert ]] || refuse "$cert: no such certificate file"
  fi
  openssl x509 -in "$given" -out "$signer" 2>/dev/null || refuse "$cert: no certificate in it"
  if is_uri "$key"; then
    on_token --export-pubkey "$(of_type "$key" private)" --outfile "$work/key.pub"
  else
    [[ -f $key ]] || refuse "$key: no such key file"
    openssl pkey -in "$key" -passin pass: -pubout -out "$work/key.pub" 2>/dev/null || refuse "$key: not an unencrypted PEM private key"
  fi
  field() {
    openssl x509 -in "$signer" -noout -nameopt RFC2253 -dateopt iso_8601 "-$1" | sed 's/^[^=]*=//'
  }
  subject=$(field subject)
  not_before=$(utc "$(field startdate)")
  not_after=$(utc "$(field enddate)")
  now=$(date -u +%s)
  (( $(date -d "$not_before" +%s) <= now )) || refuse "$cert: the certificate is not valid before $not_before"
  (( $(date -d "$not_after" +%s) > now )) || refuse "$cert: the certificate expired on $not_after"
  openssl x509 -in "$signer" -noout -ext extendedKeyUsage 2>/dev/null | grep -qw 'Code Signing' ||
    refuse "$cert: the certificate lacks the code-signing extended key usage"
  [[ $(openssl pkey -pubin -in "$work/key.pub") == $(openssl x509 -in "$signer" -noout -pubkey) ]] ||
    refuse "$key: the key does not match the certificate $subject"
  chain=()
  is_uri "$cert" || chain=(-untrusted "$cert")
  openssl verify -CAfile "$ca" "${chain[@]}" "$signer" >"$log" 2>&1 ||
    refuse "$cert: the certificate does not chain to $ca ($(sed -n 's/^error [0-9]* at [0-9]* depth lookup: //p' "$log" | head -1))"
fi

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
unsigned="$release/PeUpdate.exe"

if [[ -n $cert ]]; then
  signing=(-h sha256 -in "$unsigned" -out "$part")
  if is_uri "$key"; then
    signing+=(-pkcs11module "$module" -readpass - -key "$(of_type "$key" private)")
  else
    signing+=(-key "$key")
  fi
  if is_uri "$cert"; then
    signing+=(-pkcs11cert "$(of_type "$cert" cert)")
  else
    signing+=(-certs "$cert")
  fi
  [[ -z $timestamp ]] || signing+=(-ts "$timestamp")
  quietly "signing" osslsigncode sign "${signing[@]}" <<<"$pin"
  # Against ROOT.pem alone; no network here: the certificates' revocation lists are not fetched.
  verifying=(-CAfile "$ca" -ignore-cdp -in "$part")
  [[ -z $timestamp_ca ]] || verifying+=(-TSA-CAfile "$timestamp_ca")
  osslsigncode verify "${verifying[@]}" >"$log" 2>&1 ||
    { cat "$log" >&2; refuse "the signature does not verify against $ca"; }
  signed_at=$(utc "$(sed -n 's/^[[:space:]]*Signing time: //p' "$log" | head -1)")
  if [[ -n $timestamp ]]; then
    # A time stamp that does not verify leaves the verification's exit status at 0.
    grep -q '^Timestamp Server Signature verification: ok' "$log" ||
      refuse "the time stamp from $timestamp does not verify against ${timestamp_ca:-the trusted roots of the system}" \
             "($(sed -n 's/^[[:space:]]*Error: //p' "$log" | head -1))"
    stamped="$(utc "$(sed -n 's/^[[:space:]]*Timestamp time: //p' "$log" | head -1)") from $timestamp"
  fi
else
  cp "$unsigned" "$part"
fi

header="$release/resources/UpdateVersion.h"
{
  echo "version: $(sed -n 's/^#define PEUPDATE_VERSION_TEXT "\(.*\)"/\1/p' "$header")" \
       "($(sed -n 's/^#define PEUPDATE_TITLE "\(.*\)"/\1/p' "$header"))"
  echo "architecture: $arch"
  echo "payload: $(basename -- "$payload"), $(size_and_sha256 "$payload")"
  if [[ -n $cert ]]; then
    echo "updater: $(size_and_sha256 "$part"), signed $signed_at"
    echo "unsigned updater: $(size_and_sha256 "$unsigned")"
    echo "signer: $subject"
    echo "certificate: valid from $not_before until $not_after"
    echo "time stamp: ${stamped:-none: the signature is accepted until $not_after}"
  else
    echo "updater: $(size_and_sha256 "$part"), unsigned"
  fi
} >"$record_part"
mv -f -- "$part" "$out"
mv -f -- "$record_part" "$out.release.txt"
echo "make-update: $made"
if [[ -n $cert ]]; then
  echo "make-update: signed by $subject, ${stamped:+time-stamped at }${stamped:-without a time stamp}"
  [[ -n $timestamp ]] || echo "make-update: without --timestamp, Windows stops accepting this signature when the certificate expires ($not_after)"
fi
echo "make-update: $out ($arch${cert:+, signed}) sha256 $(sha256sum "$out" | cut -d' ' -f1), recorded in $out.release.txt"
