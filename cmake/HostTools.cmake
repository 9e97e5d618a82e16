# The small tools that make files at build time (the icon's sizes, the hand
# cursor, the sample folders, the translations) run on the machine that
# builds. In a native build they are built here; in a cross build (Windows
# from Linux) they come from a native build of this project, whose bin-tools
# folder CHRONOPURGE_HOST_TOOLS names (./build-windows makes it), and lrelease
# from the machine's own Qt.

set(CHRONOPURGE_HOST_TOOLS "" CACHE PATH "Folder of make_icons, make_cursor and make_samples built for this machine (cross builds)")

# Adds the host tool `name`: built from the remaining arguments natively,
# imported from CHRONOPURGE_HOST_TOOLS in a cross build.
function(chronopurge_host_tool name)
  if(CMAKE_CROSSCOMPILING)
    if(NOT EXISTS ${CHRONOPURGE_HOST_TOOLS}/${name})
      message(FATAL_ERROR "${name} built for this machine is missing in CHRONOPURGE_HOST_TOOLS (${CHRONOPURGE_HOST_TOOLS})")
    endif()
    add_executable(${name} IMPORTED GLOBAL)
    set_target_properties(${name} PROPERTIES IMPORTED_LOCATION ${CHRONOPURGE_HOST_TOOLS}/${name})
  else()
    add_executable(${name} ${ARGN})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin-tools)
  endif()
endfunction()

if(CMAKE_CROSSCOMPILING AND NOT TARGET Qt6::lrelease)
  find_program(CHRONOPURGE_LRELEASE lrelease HINTS /usr/lib/qt6/bin REQUIRED)
  add_executable(Qt6::lrelease IMPORTED GLOBAL)
  set_target_properties(Qt6::lrelease PROPERTIES IMPORTED_LOCATION ${CHRONOPURGE_LRELEASE})
endif()
