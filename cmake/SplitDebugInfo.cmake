# Install-time step: moves the symbols of IM_SPLIT_FILE into
# IM_SPLIT_FILE.debug and strips the file, which keeps a debug link to it.
#   IM_OBJCOPY     the objcopy of the target's binutils
#   IM_SPLIT_FILE  the installed binary
if(NOT IM_OBJCOPY)
  message(FATAL_ERROR "no objcopy found: cannot strip ${IM_SPLIT_FILE}")
endif()
get_filename_component(dir "${IM_SPLIT_FILE}" DIRECTORY)
get_filename_component(name "${IM_SPLIT_FILE}" NAME)
foreach(step "--only-keep-debug;${name};${name}.debug"
             "--strip-all;--add-gnu-debuglink=${name}.debug;${name}")
  execute_process(COMMAND "${IM_OBJCOPY}" ${step} WORKING_DIRECTORY "${dir}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${IM_OBJCOPY} ${step} failed (${rc})")
  endif()
endforeach()
message(STATUS "Stripped: ${IM_SPLIT_FILE} (symbols in ${name}.debug)")
