# Cross-builds the Windows program (i686, 32-bit) with Debian's mingw-w64, posix threads.
set(PELLVANE_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
