# Fails unless the shared library's dynamic symbol table holds exactly the
# names that the installed headers declare: nothing internal (a C++ name, a
# helper such as CheckFile) and nothing declared but missing.
# Run as: cmake -DLIB=<libhvapi.so> "-DHEADERS=<h1>;<h2>" -P CheckExports.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../HvapiExports.cmake)
hvapi_exported_names(declared ${HEADERS})
find_program(NM nm REQUIRED)
execute_process(COMMAND ${NM} -D --defined-only ${LIB}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIB}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(exported)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] +" "" name "${line}")
  list(APPEND exported ${name})
endforeach()
list(SORT exported)
set(extra ${exported})
list(REMOVE_ITEM extra ${declared})
set(missing ${declared})
list(REMOVE_ITEM missing ${exported})
if(extra OR missing)
  message(FATAL_ERROR "exported but not declared: ${extra}\n"
                      "declared but not exported: ${missing}")
endif()
list(LENGTH declared count)
message(STATUS "${count} names, each declared and exported")
