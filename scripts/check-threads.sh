#!/usr/bin/env bash
# clang's thread-safety analysis over the program's own sources, for the
# 32-bit Windows target with the MinGW C++ headers as system headers: a field
# marked GUARDED_BY touched without its lock fails here (base/thread_checks.h).
#   check-threads.sh BUILD_DIR   (a configured Windows build, for its generated header)
set -euo pipefail
quillane_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$quillane_repo"
build=${1:?usage: check-threads.sh BUILD_DIR}
gcc_dir=$(ls -d /usr/lib/gcc/i686-w64-mingw32/*-posix 2>/dev/null | sort -V | tail -n 1)
[ -n "$gcc_dir" ] || { echo "thread-safety check: no MinGW i686 compiler found" >&2; exit 1; }
flags=(--target=i686-w64-mingw32 -std=c++17 -fsyntax-only -Wthread-safety -Werror -nostdinc++
       -isystem "$gcc_dir/include/c++" -isystem "$gcc_dir/include/c++/i686-w64-mingw32"
       -isystem "$gcc_dir/include/c++/backward"
       -DUNICODE -D_UNICODE -DWINVER=0x0601 -D_WIN32_WINNT=0x0601 -DNOMINMAX -DQUILLANE_THREAD_CHECKS=1
       -I. -I"$build/generated")
mapfile -t sources < <(git ls-files 'base/*.cpp' 'imaging/*.cpp' 'frc/*.cpp' 'views/*.cpp' 'present/*.cpp' 'app/*.cpp' |
                       grep -v '_test\.cpp$')
status=0
for source in "${sources[@]}"; do
  extra=()
  [ "$source" = frc/frame_mapping_avx2.cpp ] && extra=(-mavx2)
  clang++ "${flags[@]}" "${extra[@]}" "$source" || { echo "  in $source" >&2; status=1; }
done
if [ "$status" -eq 0 ]; then
  echo "thread-safety check: ok, ${#sources[@]} files"
else
  echo "thread-safety check: FAILED"
fi
exit "$status"
