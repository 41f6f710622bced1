# The icon and version information of a Windows program, from
# packaging/windows/version.rc.in: px316t_windows_resources(TARGET DESCRIPTION).
function(px316t_windows_resources target description)
  string(REPLACE "." ";" parts "${PROJECT_VERSION}")
  list(GET parts 0 major)
  list(GET parts 1 minor)
  math(EXPR minor "${minor}")   # "02" -> 2: 5.02 is file version 5.2.0.0
  set(PX316T_VERSION_COMMAS "${major},${minor},0,0")
  set(PX316T_DESCRIPTION "${description}")
  get_target_property(PX316T_PROGRAM ${target} OUTPUT_NAME)
  if(NOT PX316T_PROGRAM)
    set(PX316T_PROGRAM ${target})
  endif()
  set(PX316T_ICON "${PROJECT_SOURCE_DIR}/packaging/windows/px316t.ico")
  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc")
  configure_file("${PROJECT_SOURCE_DIR}/packaging/windows/version.rc.in" "${rc}" @ONLY)
  target_sources(${target} PRIVATE "${rc}")
endfunction()
