# cmake -DPROGRAM=<launcher> -DBUDGET=<bytes> -P LauncherSize.cmake
#
# Reports the launcher program's size after each link: the file, and the
# code and data it loads (from `size`, when binutils are there). Above the
# budget it warns; a size never fails the build.
file(SIZE "${PROGRAM}" file_bytes)
set(loaded "")
find_program(SIZE_TOOL size)
if(SIZE_TOOL)
  execute_process(COMMAND ${SIZE_TOOL} "${PROGRAM}" OUTPUT_VARIABLE table
                  RESULT_VARIABLE failed ERROR_QUIET)
  if(NOT failed AND table MATCHES "\n[ \t]*([0-9]+)[ \t]+([0-9]+)[ \t]+([0-9]+)")
    math(EXPR loaded_bytes "${CMAKE_MATCH_1} + ${CMAKE_MATCH_2}")
    set(loaded ", ${loaded_bytes} bytes of code and data")
  endif()
endif()
message(STATUS "launcher program: ${file_bytes} bytes${loaded}")
if(loaded_bytes AND BUDGET AND loaded_bytes GREATER BUDGET)
  message(WARNING "the launcher program's code and data (${loaded_bytes} "
                  "bytes) are above the budget of ${BUDGET} bytes")
endif()
