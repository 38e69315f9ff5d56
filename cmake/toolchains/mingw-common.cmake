# Shared part of the MinGW-w64 cross toolchains. The including file sets
# IM_WIN_TRIPLET and, optionally, IM_WIN_EMULATOR before including this one.
#
# IM_WIN_DEPS_PREFIX (cache variable or environment variable) names the folder
# that scripts/windows-deps.sh filled with the static third-party libraries.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)

# The posix thread model: std::thread, std::mutex and std::condition_variable.
set(CMAKE_C_COMPILER ${IM_WIN_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${IM_WIN_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${IM_WIN_TRIPLET}-windres)
set(CMAKE_AR ${IM_WIN_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${IM_WIN_TRIPLET}-ranlib CACHE FILEPATH "")

if(NOT IM_WIN_DEPS_PREFIX AND DEFINED ENV{IM_WIN_DEPS_PREFIX})
  set(IM_WIN_DEPS_PREFIX "$ENV{IM_WIN_DEPS_PREFIX}")
endif()
# try_compile projects read this file again: hand the prefix on to them.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES IM_WIN_DEPS_PREFIX)

# Libraries, headers and packages come only from the MinGW sysroot and the
# dependency prefix; programs (ninja, wine64 …) come from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${IM_WIN_TRIPLET} ${IM_WIN_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static third-party libraries: no dependency DLL has to travel with the library.
set(OPENSSL_USE_STATIC_LIBS TRUE)
set(ZLIB_USE_STATIC_LIBS ON)

if(IM_WIN_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${IM_WIN_EMULATOR})
endif()
