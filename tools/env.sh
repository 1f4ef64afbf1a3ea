# Shared settings for the scripts in tools/; sourced, never run.
# Everything Wine does for this project happens in a private prefix under build/,
# never in the user's own ~/.wine.
VESPERA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VESPERA_BUILD=${VESPERA_BUILD:-$VESPERA_ROOT/build}
VESPERA_BIN=$VESPERA_BUILD/bin
export WINEPREFIX=${WINEPREFIX:-$VESPERA_BUILD/wineprefix}
export WINEARCH=win64
# -all keeps the wrapper's 32-bit hint away; err+module still names a DLL that fails to load.
export WINEDEBUG=${WINEDEBUG:--all,err+module}
# No Mono or Gecko prompts while a prefix is made.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Only the 64-bit loader works here; calling it directly skips the wrapper's 32-bit probe.
export WINELOADER=/usr/lib/wine/wine64
VESPERA_WINE=$WINELOADER
[ -x "$VESPERA_WINE" ] || VESPERA_WINE=wine
# Test programs live outside build/bin and find the emulated platform's DLLs through PATH.
export WINEPATH="Z:${VESPERA_BIN//\//\\}"
