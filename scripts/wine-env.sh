# Sourced by bash with a prefix folder and an architecture (i686 or x86_64); sh's "." would not pass
# the arguments on. Sets the environment that starts Wine for programs of that architecture, each
# architecture in a prefix of its own.
case "$2" in
  i686) WINEARCH=win32 WINELOADER=/usr/lib/wine/wine ;;
  x86_64) WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64 ;;
  *) echo "wine-env.sh: unknown architecture '$2'" >&2; exit 2 ;;
esac
export WINEPREFIX="$1" WINEARCH WINELOADER
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
