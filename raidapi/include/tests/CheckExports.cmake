# Fails when the shared library exports anything but the library's own C
# names: no C++ (mangled) name may appear in its dynamic symbol table, and
# the names the applications link against must be there.
# Run as: cmake -DLIB=<path of libhvapi.so> -P CheckExports.cmake
find_program(NM nm REQUIRED)
execute_process(COMMAND ${NM} -D --defined-only ${LIB}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIB}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] +" "" name "${line}")
  if(name MATCHES "^_Z")
    message(FATAL_ERROR "exports a C++ name: ${name}")
  endif()
endforeach()
foreach(required gstAdpTab gulDacCurAdpNo giSemId Sem_Wait
                 DataLengthOfGivenCmd IsApiInitialized ValidateAdapterNo
                 ReadConfig UseConfig CheckSystemStatus WriteConfig
                 WriteNewConfig AddLogDrvToConfig ClearConfig DeleteNewLogDrv
                 AddSettoOS MakeDrvUse)
  if(NOT symbols MATCHES "[ \t]${required}\n")
    message(FATAL_ERROR "does not export ${required}")
  endif()
endforeach()
