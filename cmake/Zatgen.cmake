# zatgen_unit(<target> <schema>)
# Compiles a unit's schema into <build>/generated/<header> (the path its `header` line names) and
# <build>/generated/<Unit>.cpp at build time, and adds the source to <target>. The compiler lists every
# schema it read (imports and the prelude) in a depfile, so an edit to any of them regenerates the unit.
# The generated files are never committed.
set(ZATGEN_DIR ${CMAKE_CURRENT_LIST_DIR}/../zatgen)
file(GLOB_RECURSE ZATGEN_SOURCES CONFIGURE_DEPENDS ${ZATGEN_DIR}/zatgen.py ${ZATGEN_DIR}/zatgen/*.py)

function(zatgen_unit target schema)
  get_filename_component(unit ${schema} NAME_WE)
  get_filename_component(schema_abs ${schema} ABSOLUTE)
  file(RELATIVE_PATH schema_rel ${VEL_ROOT} ${schema_abs})
  file(STRINGS ${schema_abs} header_line REGEX "^header \"[^\"]+\"")
  if(NOT header_line)
    message(FATAL_ERROR "${schema_rel} has no 'header \"PATH\"' line")
  endif()
  string(REGEX REPLACE "^header \"([^\"]+)\".*" "\\1" header_rel "${header_line}")
  set(out ${CMAKE_CURRENT_BINARY_DIR}/generated)
  set(header ${out}/${header_rel})
  set(source ${out}/${unit}.cpp)
  add_custom_command(
    OUTPUT ${header} ${source}
    COMMAND ${Python3_EXECUTABLE} ${ZATGEN_DIR}/zatgen.py ${schema_rel} --root ${VEL_ROOT}
            --header ${header} --source ${source} --depfile ${out}/${unit}.d
    DEPENDS ${schema_abs} ${ZATGEN_SOURCES}
    DEPFILE ${out}/${unit}.d
    COMMENT "zatgen ${schema_rel}"
    VERBATIM)
  target_sources(${target} PRIVATE ${source} ${header})
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${out}>)
endfunction()
