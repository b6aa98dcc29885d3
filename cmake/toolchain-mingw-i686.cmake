# Cross toolchain for the shipped 32-bit program.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUILLANE_MINGW_TRIPLE i686-w64-mingw32)
# Every processor that runs a current Windows has SSE2; the frame mapping uses
# it. Callbacks and threads may start on a 4-byte aligned stack in 32-bit
# Windows, so functions realign theirs before spilling 16-byte values.
set(CMAKE_C_FLAGS_INIT "-msse2 -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mstackrealign")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
