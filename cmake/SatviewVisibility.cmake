# Symbol visibility for plug-ins and the static libraries linked into them.
#
# satview_hidden_symbols(TARGET ...)
#   Compiles the targets with hidden visibility: nothing of theirs is exported from a shared
#   library they end up in, unless marked __attribute__((visibility("default"))).
#
# satview_plugin_exports(TARGET SYMBOL ...)
#   For a plug-in library (MODULE or SHARED): hidden visibility for its own code, and a linker
#   version script that exports the listed entry points and nothing else, whatever the static
#   libraries linked into it were compiled with. Every plug-in calls it, for example
#     satview_plugin_exports(Orbitpane CreatePlugin)
#   The list is written to <build>/plugin_exports.txt ("target symbol ..." a line), which the
#   export test checks against each plug-in's dynamic symbol table.
include_guard(GLOBAL)

set_property(GLOBAL PROPERTY SATVIEW_PLUGIN_EXPORTS "")

function(satview_hidden_symbols)
  foreach(target ${ARGN})
    set_target_properties(${target} PROPERTIES
      C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  endforeach()
endfunction()

function(satview_plugin_exports target)
  if(NOT ARGN)
    message(FATAL_ERROR "satview_plugin_exports(${target}): name the exported entry points")
  endif()
  satview_hidden_symbols(${target})
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}.exports)
  list(JOIN ARGN ";\n    " globals)
  file(CONFIGURE OUTPUT ${script} CONTENT "{\n  global:\n    ${globals};\n  local: *;\n};\n")
  target_link_options(${target} PRIVATE "LINKER:--version-script=${script}")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
  list(JOIN ARGN " " symbols)
  set_property(GLOBAL APPEND PROPERTY SATVIEW_PLUGIN_EXPORTS
    "$<TARGET_FILE:${target}> ${symbols}")
endfunction()

# Writes <build>/plugin_exports.txt once every plug-in is known (call at the end of the
# top-level CMakeLists.txt).
function(satview_write_plugin_exports)
  get_property(lines GLOBAL PROPERTY SATVIEW_PLUGIN_EXPORTS)
  list(JOIN lines "\n" content)
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/plugin_exports.txt CONTENT "${content}\n")
endfunction()
