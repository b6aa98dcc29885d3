# Cross toolchain for a 64-bit build of the same sources. Used to run the
# Windows tests under 64-bit Wine on hosts that cannot execute i386 code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUILLANE_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
