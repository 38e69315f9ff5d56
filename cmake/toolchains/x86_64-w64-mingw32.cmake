# 64-bit Windows twin of the shipped build; its tests run under wine64.
set(IM_WIN_TRIPLET x86_64-w64-mingw32)
find_program(IM_WIN_EMULATOR wine64 PATHS /usr/lib/wine /usr/bin)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
