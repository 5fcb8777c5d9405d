# add_launcher_payload(<target>
#                      PROGRAM <launcher target or program file>
#                      MANIFEST <manifest file>
#                      OUTPUT <launcher file>
#                      [DEPENDS <file>...])
#
# Packs a launcher file at build time: the program with the files of the
# manifest appended, written by launcher-pack. The target builds with ALL.
# The files the manifest names are tracked through a dependency file that
# launcher-pack writes, so editing one of them repacks; DEPENDS adds others.
# A relative MANIFEST is taken from the current source directory, a
# relative OUTPUT from the current binary directory.
#
# Inside this project the launcher-pack target packs; from an installed
# prefix (find_package(LauncherPack), which sets LAUNCHER_PACK_EXECUTABLE)
# the installed launcher-pack does, and
# PROGRAM may be ${LAUNCHER_PROGRAM}, the installed launcher.
function(add_launcher_payload target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "PROGRAM;MANIFEST;OUTPUT" "DEPENDS")
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR
      "add_launcher_payload: unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  foreach(required PROGRAM MANIFEST OUTPUT)
    if(NOT ARG_${required})
      message(FATAL_ERROR "add_launcher_payload: ${required} is required")
    endif()
  endforeach()

  if(TARGET ${ARG_PROGRAM})
    set(program $<TARGET_FILE:${ARG_PROGRAM}>)
    set(program_dependency ${ARG_PROGRAM})
  else()
    get_filename_component(program ${ARG_PROGRAM} ABSOLUTE
                           BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    set(program_dependency ${program})
  endif()
  get_filename_component(manifest ${ARG_MANIFEST} ABSOLUTE
                         BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  get_filename_component(output ${ARG_OUTPUT} ABSOLUTE
                         BASE_DIR ${CMAKE_CURRENT_BINARY_DIR})
  get_filename_component(output_dir ${output} DIRECTORY)
  set(depfile ${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/${target}.d)
  if(LAUNCHER_PACK_EXECUTABLE)
    set(pack ${LAUNCHER_PACK_EXECUTABLE})
  else()
    set(pack launcher-pack)
  endif()

  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${output_dir}
    COMMAND ${pack} --depfile ${depfile} ${program} ${manifest} ${output}
    DEPENDS ${pack} ${program_dependency} ${manifest} ${ARG_DEPENDS}
    DEPFILE ${depfile}
    COMMENT "Packing launcher file ${output}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${output})
endfunction()
