# Each library exposes only its own folder's headers: its include directory
# holds one entry, a link named after the folder, so "editor/field_catalog.h"
# is found only by the targets that link px316t_editor (directly or through a
# library that links it). An include up the layers (table/ including
# production/outcome.h) then fails to compile instead of only failing to link.
set(PX316T_HEADER_ROOT "${CMAKE_BINARY_DIR}/px316t-headers")

# px316t_expose_headers(TARGET FOLDER [PRIVATE]): TARGET's code and (unless
# PRIVATE) everything that links TARGET may include "FOLDER/...".
function(px316t_expose_headers target folder)
  set(root "${PX316T_HEADER_ROOT}/${folder}")
  if(NOT EXISTS "${root}/${folder}")
    file(MAKE_DIRECTORY "${root}")
    file(CREATE_LINK "${PROJECT_SOURCE_DIR}/src/${folder}" "${root}/${folder}" SYMBOLIC)
  endif()
  if("PRIVATE" IN_LIST ARGN)
    target_include_directories(${target} PRIVATE "${root}")
  else()
    target_include_directories(${target} PUBLIC "${root}")
  endif()
endfunction()
