# Each library exposes only its own folder's headers: its include directory
# include/FOLDER/ holds one entry, the link FOLDER -> src/FOLDER, so
# "editor/field_catalog.h" is found only by the targets that link px316t_editor
# (directly or through a library that links it). An include up the layers
# (table/ including production/outcome.h) then fails to compile instead of
# only failing to link. The links live in the source tree, so every build
# compiles with the same paths and the compiler cache serves them all.
#
# px316t_expose_headers(TARGET FOLDER [PRIVATE]): TARGET's code and (unless
# PRIVATE) everything that links TARGET may include "FOLDER/...".
function(px316t_expose_headers target folder)
  set(root "${PROJECT_SOURCE_DIR}/include/${folder}")
  if(NOT IS_DIRECTORY "${root}/${folder}")
    message(FATAL_ERROR "include/${folder}/${folder} must link to src/${folder} (ln -s ../../src/${folder})")
  endif()
  if("PRIVATE" IN_LIST ARGN)
    target_include_directories(${target} PRIVATE "${root}")
  else()
    target_include_directories(${target} PUBLIC "${root}")
  endif()
endfunction()
