# Sourced by the project's scripts: Wine prefix handling shared by the test
# command, the run command and the test wrapper.
#   quillane_pe_bits EXE        prints 32 or 64 from the PE header
#   quillane_can_run_32         succeeds when this host can execute i386 code
#   quillane_wine_setup BITS    exports WINEPREFIX, WINE*, QUILLANE_WINE and
#                               creates the prefix once (under a lock)

quillane_repo=${quillane_repo:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}

quillane_pe_bits() {
  local off machine
  off=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ') || return 1
  [ -n "$off" ] || return 1
  machine=$(od -An -tx2 -j$((off + 4)) -N2 "$1" 2>/dev/null | tr -d ' ') || return 1
  case "$machine" in
    014c) echo 32 ;;
    8664) echo 64 ;;
    *) return 1 ;;
  esac
}

# Some virtual machines run 64-bit user code only; there 32-bit Wine cannot
# start at all (execve of the i386 loader fails with ENOEXEC). Where an
# emulator has been registered for i386 code, 32-bit Wine starts but runs
# some twenty times slower and Mesa's code generator crashes under it: such a
# machine counts as one that refuses i386 code.
quillane_can_run_32() {
  local entry
  for entry in /proc/sys/fs/binfmt_misc/*; do
    [ -f "$entry" ] && grep -qx enabled "$entry" 2>/dev/null && grep -q '^interpreter .*qemu-i386' "$entry" 2>/dev/null &&
      return 1
  done
  [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

quillane_wine_setup() {
  local bits=$1
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEPREFIX="$quillane_repo/build/wine/prefix$bits"
  if [ "$bits" = 32 ]; then
    export WINEARCH=win32
    QUILLANE_WINE=/usr/lib/wine/wine
    export WINESERVER=/usr/lib/wine/wineserver32
  else
    export WINEARCH=win64
    QUILLANE_WINE=/usr/lib/wine/wine64
    export WINESERVER=/usr/lib/wine/wineserver64
  fi
  export WINELOADER=$QUILLANE_WINE
  export QUILLANE_WINE
  [ -f "$WINEPREFIX/.quillane-ready" ] && return 0

  mkdir -p "$quillane_repo/build/wine"
  (
    flock 9
    [ -f "$WINEPREFIX/.quillane-ready" ] && exit 0
    rm -rf "$WINEPREFIX"
    echo "wine: creating the $bits-bit prefix (once; about a minute)" >&2
    timeout 600 "$QUILLANE_WINE" wineboot -i >/dev/null 2>&1 || { echo "wine: wineboot failed" >&2; exit 1; }
    timeout 120 "$QUILLANE_WINE" regedit /S "Z:${quillane_repo//\//\\}\\scripts\\wine-prefix.reg" >/dev/null 2>&1 \
      || { echo "wine: regedit failed" >&2; exit 1; }
    timeout 60 "$WINESERVER" -w
    touch "$WINEPREFIX/.quillane-ready"
  ) 9>"$quillane_repo/build/wine/prefix$bits.lock"
}
