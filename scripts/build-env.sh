# Sourced by the project's scripts: configures (once) and builds one flavour.
#   quillane_build FLAVOUR [TARGET...]   (FLAVOUR: one of the folders below)
# build/native  Linux build of the Windows-free arithmetic, with sanitizers
# build/native-plain  the same and its tests without sanitizers, so that the
#               ordinary allocator's block alignment is tested too (build only
#               quillane_core_tests there)
# build/win32   the shipped 32-bit program (i686), its plug-in and tests
# build/win64   the same sources for x86-64, to run the tests where the host
#               cannot execute 32-bit code
# build/bench-native  the native arithmetic without sanitizers, for benchmarks
# build/release32 the shipped 32-bit program and plug-in alone, optimised and
#               stripped, for the package (scripts/package.sh)
# build/fuzz    the libFuzzer targets (clang, AddressSanitizer, UBSan)

quillane_repo=${quillane_repo:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}

quillane_build() {
  local flavour=$1
  shift
  local dir="$quillane_repo/build/$flavour"
  local args=(-G Ninja -DCMAKE_BUILD_TYPE=Release)
  case "$flavour" in
    native) args+=(-DQUILLANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    native-plain) args+=(-DQUILLANE_SANITIZE=OFF) ;;
    bench-native) args+=(-DQUILLANE_SANITIZE=OFF -DQUILLANE_TESTS=OFF) ;;
    fuzz) args+=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQUILLANE_FUZZ=ON -DQUILLANE_SANITIZE=OFF
                 -DQUILLANE_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    win32) args+=(-DCMAKE_TOOLCHAIN_FILE="$quillane_repo/cmake/toolchain-mingw-i686.cmake") ;;
    win64) args+=(-DCMAKE_TOOLCHAIN_FILE="$quillane_repo/cmake/toolchain-mingw-x86_64.cmake") ;;
    release32) args+=(-DCMAKE_TOOLCHAIN_FILE="$quillane_repo/cmake/toolchain-mingw-i686.cmake" -DQUILLANE_TESTS=OFF
                      -DCMAKE_EXE_LINKER_FLAGS=-s -DCMAKE_SHARED_LINKER_FLAGS=-s) ;;
    *) echo "unknown build flavour: $flavour" >&2; return 2 ;;
  esac
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$quillane_repo" -B "$dir" "${args[@]}" >"$dir.configure.log" 2>&1 \
      || { cat "$dir.configure.log" >&2; return 1; }
  fi
  ninja -C "$dir" --quiet "$@" 2>&1 | grep -v '^ninja: no work to do' || true
  return "${PIPESTATUS[0]}"
}

# The Windows flavour the tests run in: the shipped 32-bit build where the host
# can execute it, otherwise the 64-bit build of the same sources.
# QUILLANE_WINE_BITS=64 asks for the 64-bit build even where 32-bit code runs,
# so that both paths can be tried on one machine; 32 asks for the 32-bit one
# and fails where the host cannot run it.
quillane_test_flavour() {
  # shellcheck source=wine-env.sh
  . "$quillane_repo/scripts/wine-env.sh"
  case "${QUILLANE_WINE_BITS:-}" in
    64) echo win64 ;;
    32)
      if quillane_can_run_32; then echo win32; else
        echo "QUILLANE_WINE_BITS=32, but this host cannot execute 32-bit code" >&2
        return 1
      fi ;;
    '')
      if quillane_can_run_32; then echo win32; else echo win64; fi ;;
    *) echo "QUILLANE_WINE_BITS must be 32 or 64, not ${QUILLANE_WINE_BITS}" >&2; return 1 ;;
  esac
}
