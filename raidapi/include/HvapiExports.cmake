# The names libhvapi exports: every function and global that an installed
# header declares with HVAPI_EXPORT at the start of a line. A declaration
# added to hvapi.h or hvapi_lowlevel.h is exported with no other change.
#   hvapi_exported_names(<out-var> <header>...)
function(hvapi_exported_names out)
  set(names)
  foreach(header IN LISTS ARGN)
    file(READ ${header} text)
    # Each declaration up to its ";" (left out: it separates CMake lists),
    # however it is broken across lines.
    string(REGEX MATCHALL "\nHVAPI_EXPORT [^;]*" declarations "${text}")
    foreach(declaration IN LISTS declarations)
      string(REGEX REPLACE "[ \t\n]+" " " declaration "${declaration}")
      if(NOT declaration MATCHES "([A-Za-z_][A-Za-z0-9_]*) ?([[(]|$)")
        message(FATAL_ERROR "${header}: no name in: ${declaration}")
      endif()
      list(APPEND names ${CMAKE_MATCH_1})
    endforeach()
  endforeach()
  list(SORT names)
  set(${out} ${names} PARENT_SCOPE)
endfunction()
