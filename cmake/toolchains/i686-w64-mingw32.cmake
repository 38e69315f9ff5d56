# 32-bit Windows, the shipped target. These machines cannot run 32-bit
# programs, so no emulator is set: the build is compiled and checked, not run.
set(IM_WIN_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
