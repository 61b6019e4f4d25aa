# Programs and libraries carried inside a Windows test or benchmark program
# as RCDATA resources. Wine's sandboxed prefix has no drive that reaches the
# build tree, so a program run there cannot open them where they were built;
# embedded, they are written out into its own folder on C:.
#
#   retrax_embed(<name> INTO <program>... FROM <target>...)
#
# Each FROM target (an executable or a shared library) is copied, whenever
# it is rebuilt, to <binary dir>/embedded/<target>.exe or .dll, and the copy
# is embedded under the resource name of the target in upper case, '-' as
# '_', then _EXE or _DLL: retrax-pack gives RETRAX_PACK_EXE,
# retrax_test_component RETRAX_TEST_COMPONENT_DLL. The copy, not the target's own
# file, is what the resource compiler reads: a plain file of this directory
# with a rule that makes it, so the .rc is compiled again whenever one of
# them changes (OBJECT_DEPENDS) and only after the copies exist (the custom
# target <name>, on which every INTO program depends). One .rc file,
# <name>.rc, serves all the INTO programs; each must already exist.
include_guard(GLOBAL)

function(retrax_embed name)
  cmake_parse_arguments(PARSE_ARGV 1 EMBED "" "" "INTO;FROM")
  if(EMBED_UNPARSED_ARGUMENTS OR NOT EMBED_INTO OR NOT EMBED_FROM)
    message(FATAL_ERROR "retrax_embed(${name}): expected INTO <program>... FROM <target>...")
  endif()
  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${name}.rc")
  set(text "")
  set(copies)
  foreach(target IN LISTS EMBED_FROM)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      set(kind exe)
    elseif(type STREQUAL "SHARED_LIBRARY")
      set(kind dll)
    else()
      message(FATAL_ERROR "retrax_embed(${name}): ${target} is neither a program nor a DLL")
    endif()
    string(TOUPPER "${target}_${kind}" resource)
    string(REPLACE "-" "_" resource "${resource}")
    set(copy "${CMAKE_CURRENT_BINARY_DIR}/embedded/${target}.${kind}")
    # After the target's own POST_BUILD steps: the copy is of the finished file.
    add_custom_command(OUTPUT ${copy}
      COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> ${copy}
      DEPENDS ${target}
      VERBATIM)
    list(APPEND copies ${copy})
    string(APPEND text "${resource} RCDATA \"${copy}\"\n")
  endforeach()
  file(CONFIGURE OUTPUT ${rc} CONTENT "${text}")
  add_custom_target(${name} DEPENDS ${copies})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${copies}")
  foreach(program IN LISTS EMBED_INTO)
    if(NOT TARGET ${program})
      message(FATAL_ERROR "retrax_embed(${name}): no program ${program} to embed into")
    endif()
    target_sources(${program} PRIVATE ${rc})
    add_dependencies(${program} ${name})
  endforeach()
endfunction()
