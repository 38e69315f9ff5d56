# Strict warnings for the project's own targets.
function(im_strict_warnings target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Werror)
  endif()
endfunction()

# A static library of the project's own code (compiled position-independent so
# that it can go into the shared library).
function(im_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include)
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  im_strict_warnings(${name})
endfunction()

# A GoogleTest executable and its CTest entry.
#   im_add_test(NAME SOURCES a.cc b.cc LIBS x y [LABELS concurrency])
function(im_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  im_strict_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  if(WIN32 AND CMAKE_CROSSCOMPILING_EMULATOR)
    # Under Wine, tests that load the adapter library find it, and the scripted
    # plugins before the stand-in ones, through Wine's DLL search path.
    set_tests_properties(${name} PROPERTIES ENVIRONMENT
      "WINEPATH=Z:${PROJECT_BINARY_DIR}/tests/support/scripted\;Z:${PROJECT_BINARY_DIR}/adapter")
  endif()
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()
