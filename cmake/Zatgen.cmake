# zatgen_unit(<target> <schema> <include-prefix>)
# Compiles a unit's schema into <build>/generated/<include-prefix>/<Unit>.h and <Unit>.cpp at build time
# and adds the source to <target>. The generated files are never committed.
set(ZATGEN_DIR ${CMAKE_CURRENT_LIST_DIR}/../zatgen)
file(GLOB ZATGEN_SOURCES CONFIGURE_DEPENDS ${ZATGEN_DIR}/zatgen.py ${ZATGEN_DIR}/zatgen/*.py)

function(zatgen_unit target schema prefix)
  get_filename_component(unit ${schema} NAME_WE)
  get_filename_component(schema_abs ${schema} ABSOLUTE)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/generated)
  set(header ${out}/${prefix}/${unit}.h)
  set(source ${out}/${unit}.cpp)
  file(RELATIVE_PATH schema_rel ${VEL_ROOT} ${schema_abs})
  add_custom_command(
    OUTPUT ${header} ${source}
    COMMAND ${Python3_EXECUTABLE} ${ZATGEN_DIR}/zatgen.py ${schema_abs}
            --header ${header} --source ${source} --include ${prefix}/${unit}.h --schema-name ${schema_rel}
    DEPENDS ${schema_abs} ${ZATGEN_SOURCES}
    COMMENT "zatgen ${schema_rel}"
    VERBATIM)
  target_sources(${target} PRIVATE ${source} ${header})
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${out}>)
endfunction()
