# Shared part of the MinGW-w64 cross toolchains. The including file sets
# QUILLANE_MINGW_TRIPLE before including this one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)

# The -posix variant: the win32-threads GCC has no std::thread or std::mutex.
set(CMAKE_C_COMPILER   ${QUILLANE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLANE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${QUILLANE_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLANE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine through this wrapper (timeout, no debugger,
# the project's own prefix).
get_filename_component(_quillane_cmake_dir "${CMAKE_CURRENT_LIST_DIR}" ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${_quillane_cmake_dir}/wine-run.sh")
