# The Windows build: the Qt and compiler DLLs and Qt's plugins are copied
# beside the programs at every build (so the build folder runs as it is, under
# Wine too), and `cmake --build build-windows --target package` makes
# chronopurge-<version>-windows-x86_64.zip of that folder (the two programs,
# the DLLs, the plugins, the hand cursor, the sample folders, the
# translations, LICENSE and README) and chronopurge-<version>-setup.exe, the
# setup program that installs the same files (cmake/windows/NSIS.template.in;
# makensis from Debian's nsis package).

get_filename_component(qt_prefix "${Qt6_DIR}/../../.." ABSOLUTE)

# The compiler's own runtime, wherever this compiler keeps it.
set(runtime_dlls)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
    find_file(found_${dll} ${dll} PATHS /usr/${TOOLCHAIN_PREFIX}/lib /usr/x86_64-w64-mingw32/lib NO_CACHE
              NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    set(found ${found_${dll}})
  endif()
  list(APPEND runtime_dlls ${found})
endforeach()

set(qt_dlls $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>)
if(CHRONOPURGE_TESTS)
  list(APPEND qt_dlls $<TARGET_FILE:Qt6::Test>)
endif()
set(plugins platforms/qwindows.dll platforms/qminimal.dll styles/qwindowsvistastyle.dll imageformats/qico.dll)

set(copy_commands COMMAND ${CMAKE_COMMAND} -E copy_if_different ${qt_dlls} ${runtime_dlls} ${CHRONOPURGE_PROGRAM_DIR})
foreach(plugin IN LISTS plugins)
  get_filename_component(kind ${plugin} DIRECTORY)
  list(APPEND copy_commands
       COMMAND ${CMAKE_COMMAND} -E make_directory ${CHRONOPURGE_PROGRAM_DIR}/${kind}
       COMMAND ${CMAKE_COMMAND} -E copy_if_different ${qt_prefix}/plugins/${plugin} ${CHRONOPURGE_PROGRAM_DIR}/${kind})
endforeach()
add_custom_target(windows_runtime ALL ${copy_commands} COMMENT "Copying the Qt and runtime DLLs beside the programs")

install(TARGETS chronopurge chronopurge-cli RUNTIME DESTINATION .)
install(FILES ${qt_dlls} ${runtime_dlls} ${CHRONOPURGE_PROGRAM_DIR}/HAND-M.CUR DESTINATION .)
install(DIRECTORY ${CHRONOPURGE_PROGRAM_DIR}/platforms ${CHRONOPURGE_PROGRAM_DIR}/styles
                  ${CHRONOPURGE_PROGRAM_DIR}/imageformats ${CHRONOPURGE_PROGRAM_DIR}/Samples
                  ${CHRONOPURGE_PROGRAM_DIR}/translations
        DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION . RENAME README.txt)

# The programs' icon and version in their resources.
foreach(program chronopurge chronopurge-cli)
  set(rc_name ${program})
  set(rc_file_name ${program}.exe)
  if(program STREQUAL chronopurge)
    set(rc_description "Chronopurge: find files by date and send them to the Recycle Bin")
  else()
    set(rc_description "Chronopurge command line")
  endif()
  configure_file(${CMAKE_SOURCE_DIR}/cmake/windows/program.rc.in ${CMAKE_BINARY_DIR}/generated/${program}.rc @ONLY)
  target_sources(${program} PRIVATE ${CMAKE_BINARY_DIR}/generated/${program}.rc)
  set_source_files_properties(${CMAKE_BINARY_DIR}/generated/${program}.rc TARGET_DIRECTORY ${program}
                              PROPERTIES OBJECT_DEPENDS ${CHRONOPURGE_WINDOWS_ICON})
  add_dependencies(${program} windows_icon)
endforeach()

# The PATH helper the setup program carries (src/installer).
add_subdirectory(${CMAKE_SOURCE_DIR}/src/installer ${CMAKE_BINARY_DIR}/installer-build)

set(CPACK_GENERATOR ZIP)
find_program(CHRONOPURGE_MAKENSIS makensis)
if(CHRONOPURGE_MAKENSIS)
  list(APPEND CPACK_GENERATOR NSIS)
  set(CPACK_NSIS_EXECUTABLE ${CHRONOPURGE_MAKENSIS})
else()
  message(STATUS "makensis not found (Debian package nsis): the package target makes the .zip only")
endif()
set(CPACK_PACKAGE_NAME chronopurge)
set(CPACK_PACKAGE_VENDOR Brindlewick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME chronopurge-${PROJECT_VERSION}-windows-x86_64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
# The setup program: our own template (CPack looks in CMAKE_MODULE_PATH first),
# its name set per generator in CPackProjectConfig.cmake.
list(APPEND CMAKE_MODULE_PATH ${CMAKE_SOURCE_DIR}/cmake/windows)
set(CPACK_NSIS_CHRONOPURGE_ICON ${CHRONOPURGE_WINDOWS_ICON})
set(CPACK_NSIS_CHRONOPURGE_PATH_HELPER ${CMAKE_BINARY_DIR}/installer/chronopurge-path.exe)
set(CPACK_NSIS_CHRONOPURGE_FILE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.0)
configure_file(${CMAKE_SOURCE_DIR}/cmake/windows/CPackProjectConfig.cmake.in
               ${CMAKE_BINARY_DIR}/CPackProjectConfig.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackProjectConfig.cmake)
include(CPack)
