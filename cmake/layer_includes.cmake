# The build-time check that keeps each layer's includes pointing one way.
#
# quillane_layer_check(target folder allowed...) makes `target` depend on a
# step that reads every source and header in `folder` (its tests included) and
# fails when one of them includes a file of the project from a folder not in
# `allowed` (tests may also include tests/). Includes are written from the
# project root ("frc/level_tables.h") or, for the file's own folder, by bare
# name; an include climbing out with ".." fails as well.

set(QUILLANE_LAYER_CHECK_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/check_layer_includes.cmake)

function(quillane_layer_check target folder)
  set(dir ${PROJECT_SOURCE_DIR}/${folder})
  file(GLOB files CONFIGURE_DEPENDS ${dir}/*.h ${dir}/*.cpp)
  string(REPLACE "/" "_" name ${folder})
  set(stamp ${CMAKE_BINARY_DIR}/layer_check/${name}.stamp)
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DFOLDER=${folder} "-DALLOWED=${ARGN}" "-DFILES=${files}" -DROOT=${PROJECT_SOURCE_DIR}
            -DSTAMP=${stamp} -P ${QUILLANE_LAYER_CHECK_SCRIPT}
    DEPENDS ${files} ${QUILLANE_LAYER_CHECK_SCRIPT}
    COMMENT "Checking the includes of ${folder}/"
    VERBATIM)
  add_custom_target(${name}_layer_check DEPENDS ${stamp})
  add_dependencies(${target} ${name}_layer_check)
endfunction()
